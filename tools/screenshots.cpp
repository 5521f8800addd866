// Renders the main window's screens to PNG files for a person to look at:
// each page empty and with months of history, in a light and a dark palette,
// the whole settings page with its optional parts showing, and the overlays.
//
//   build/tools/quillo_screenshots DIRECTORY    (or: make screenshots)

#include <algorithm>
#include <iterator>
#include <random>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <cstdio>

#include "hotkeys/HotkeyStore.h"
#include "platform/ServiceKeyStore.h"
#include "transcription/QuilloLanguage.h"
#include "ui/UiTestSupport.h"
#include "ui/main/AppNavState.h"
#include "ui/main/DictionaryView.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SnippetFormSheet.h"
#include "ui/main/SnippetsView.h"
#include "ui/settings/KeyCaptureOverlay.h"
#include "ui/settings/SettingsView.h"

namespace quillo {
namespace {

// Example keys for the API keys card: none, or one saved and one from the environment.
class ExampleKeys final : public ServiceKeyStore
{
public:
    explicit ExampleKeys(bool filled) : m_filled(filled) {}

    Source source(Service service) const override
    {
        if (!m_filled) {
            return Source::none;
        }
        return service == Service::openAI ? Source::keyring : Source::environment;
    }
    std::optional<std::string> key(Service service) const override
    {
        if (!m_filled) {
            return std::nullopt;
        }
        return service == Service::openAI ? "sk-proj-example-key-x7Qa" : "dg-example-key-0000-9f3c";
    }
    std::string environmentName(Service service) const override
    {
        return service == Service::openAI ? "OPENAI_API_KEY" : "DEEPGRAM_API_KEY";
    }
    std::string filePath() const override { return "~/.config/quillo/credentials.json"; }
    void save(Service, const std::string&, Done done) override { done({}); }
    void remove(Service, Done done) override { done({}); }
    void setChangeCallback(std::function<void()>) override {}

private:
    bool m_filled;
};

// The main window over the test data, with the API keys card when `keys` is given.
MainWindowView::Dependencies windowDependencies(test::UiStore& data, AppNavState& nav, ServiceKeyStore* keys)
{
    MainWindowView::Dependencies dependencies = data.windowDependencies(nav);
    dependencies.serviceKeys = keys;
    dependencies.checkKey = [](ServiceKeyStore::Service, const std::string&) {
        return KeyCheckResult{true, "The key works."};
    };
    return dependencies;
}

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x1f, 0x1f, 0x22);
    const QColor base(0x2a, 0x2a, 0x2e);
    const QColor text(0xee, 0xee, 0xf0);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::AlternateBase, base.lighter(110));
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Button, base);
        palette.setColor(group, QPalette::Mid, QColor(0x55, 0x55, 0x5a));
        palette.setColor(group, QPalette::PlaceholderText, QColor(0x88, 0x88, 0x8c));
        palette.setColor(group, QPalette::Highlight, QColor(229, 72, 63));
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x77, 0x77, 0x7a));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x77, 0x77, 0x7a));
    return palette;
}

// A few hundred dictations over five months, on most but not all days.
void fillWithHistory(test::UiStore& data)
{
    const char* sentences[] = {
        "Can you send me the updated slides before the meeting tomorrow?",
        "Remind me to call the dentist on Monday morning.",
        "The quarterly numbers look better than expected, especially in the northern region.",
        "Thanks for the quick reply, I'll review the draft tonight and get back to you with comments.",
        "Let's move the stand-up to ten thirty.",
        "Add milk, eggs and coffee beans to the shopping list.",
        "I think the bug is in the retry logic: it never resets the backoff after a success, so every later "
        "request waits the full minute even when the server is healthy again.",
        "Ship it.",
        "Dear Ms. Novak, thank you for your letter of the fourth. We have looked into the matter and will "
        "refund the full amount within ten working days.",
        "Note to self: the train leaves at 7:42 from platform three.",
    };
    std::mt19937 rng(42);
    const auto now = data.clock.now();
    for (int day = 150; day >= 0; --day) {
        if (rng() % 5 == 0) {
            continue; // a day off
        }
        const int count = 1 + static_cast<int>(rng() % 4);
        std::vector<int> minutes;
        for (int i = 0; i < count; ++i) {
            minutes.push_back(static_cast<int>(rng() % 500));
        }
        std::sort(minutes.begin(), minutes.end()); // the store keeps them in the order they were made
        for (int minute : minutes) {
            const auto when = now - std::chrono::hours(24 * day) + std::chrono::minutes(minute);
            if (when > now) {
                continue;
            }
            const std::string text = sentences[rng() % std::size(sentences)];
            data.clock.setNow(when);
            data.store.addEntry(text, 2.0 + static_cast<double>(rng() % 200) / 10.0, std::nullopt, std::nullopt);
        }
    }
    data.clock.setNow(now);
    data.store.addSnippet("sig", "Best regards,\nAnna");
    data.store.addSnippet("my email", "anna.nowak@example.com");
    data.store.addSnippet("standup update",
                          "Yesterday I finished the retry logic and reviewed two pull requests. Today I am "
                          "pairing on the audio pipeline and writing the release notes. No blockers, but I "
                          "will need a review of the settings screen before Friday so that it can ship.");
    for (const char* word : {"Quillo", "PulseAudio", "Kubernetes", "Anna Nowak-Schmidt", "gRPC", "macOS"}) {
        data.store.addWord(word);
    }
}

// Puts the pointer over the second row of a list screen, to show what hover reveals.
void hoverSecondRow(QWidget* page)
{
    QWidget* row = nullptr;
    if (auto* dictionary = qobject_cast<DictionaryView*>(page); dictionary && dictionary->rows().size() > 1) {
        row = dictionary->rows()[1];
    } else if (auto* snippets = qobject_cast<SnippetsView*>(page); snippets && snippets->rows().size() > 1) {
        row = snippets->rows()[1];
    }
    if (row) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(row, &enter);
        QTest::qWait(300); // the fade
    }
}

bool shootScreens(const QByteArray& directory)
{
    const QPalette original = QApplication::palette();
    const QPalette light = QApplication::style()->standardPalette();

    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : light);
        for (const bool full : {false, true}) {
            test::UiStore data;
            if (full) {
                fillWithHistory(data);
            }
            AppNavState nav;
            ExampleKeys keys(full);
            MainWindowView view(windowDependencies(data, nav, &keys));
            view.resize(1180, 860);
            view.show();
            for (NavItem item : {NavItem::home,
                                 NavItem::insights,
                                 NavItem::history,
                                 NavItem::dictionary,
                                 NavItem::snippets,
                                 NavItem::settings}) {
                nav.setSelection(item);
                QTest::qWait(100); // the history list lays out in batches
                if (full) {
                    hoverSecondRow(view.page(item));
                }
                const QString name = QStringLiteral("%1/%2-%3-%4.png")
                                         .arg(QString::fromLocal8Bit(directory),
                                              navTitle(item).toLower(),
                                              full ? QStringLiteral("full") : QStringLiteral("empty"),
                                              dark ? QStringLiteral("dark") : QStringLiteral("light"));
                if (!view.grab().save(name)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
                    return false;
                }
            }

            // The snippet form over the dimmed screen: a new snippet when
            // there is none, else the first one being edited.
            auto* snippets = qobject_cast<SnippetsView*>(view.page(NavItem::snippets));
            if (snippets == nullptr) {
                return false;
            }
            if (full) {
                snippets->edit(snippets->rows()[0]->snippet());
            } else {
                snippets->showAdd();
            }
            if (snippets->sheet() == nullptr) {
                return false;
            }
            QTest::qWait(50);
            QPixmap shot = view.grab();
            const QPixmap form = snippets->sheet()->grab();
            {
                QPainter painter(&shot);
                painter.fillRect(shot.rect(), QColor(0, 0, 0, 60));
                const QRect where(QPoint((shot.width() - form.width()) / 2, (shot.height() - form.height()) / 2),
                                  form.size());
                painter.drawPixmap(where.topLeft(), form);
                // The window manager's frame, which the form's own image lacks.
                painter.setPen(QColor(0x80, 0x80, 0x80));
                painter.drawRect(where.adjusted(-1, -1, 0, 0));
            }
            const QString name = QStringLiteral("%1/snippets-sheet-%2-%3.png")
                                     .arg(QString::fromLocal8Bit(directory),
                                          full ? QStringLiteral("edit") : QStringLiteral("new"),
                                          dark ? QStringLiteral("dark") : QStringLiteral("light"));
            if (!shot.save(name)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
                return false;
            }
            snippets->sheet()->reject();

            if (full) {
                // The whole settings page in one image, with the Deepgram warning showing.
                data.preferences.setObject("quillo.transcriptionEngine", "deepgram");
                QuilloLanguage::setEnabled(data.preferences, {"en", "de", "fr"});
                data.preferences.setObject("cleanupInstructions", "Keep technical jargon as-is.");
                HotkeyStore(data.preferences).save({61, 58}, HotkeyAction::hold);
                data.audioDevices.devices = {{"usb", "usb", "USB Desk Microphone", 1}};
                data.audioDevices.defaultID = 1;
                nav.setSelection(NavItem::home);
                view.resize(1180, 2400);
                nav.setSelection(NavItem::settings);
                // A refused key, so the conflict message shows too.
                auto* settings = qobject_cast<SettingsView*>(view.page(NavItem::settings));
                QTest::mouseClick(settings->addShortcutButton(HotkeyAction::toggle), Qt::LeftButton);
                emit qobject_cast<KeyCaptureOverlay*>(settings->captureOverlay())
                    ->captured(61, QStringLiteral("Right Alt"));
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                QTest::qWait(50);
                const QString whole = QStringLiteral("%1/settings-whole-%2.png")
                                          .arg(QString::fromLocal8Bit(directory),
                                               dark ? QStringLiteral("dark") : QStringLiteral("light"));
                if (!view.grab().save(whole)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(whole));
                    return false;
                }
            }
        }
    }
    QApplication::setPalette(original);
    return true;
}

// The language picker (with a few languages chosen) and the key capture
// overlay over the main window.
bool shootOverlays(const QByteArray& directory)
{
    const QPalette original = QApplication::palette();
    const QPalette light = QApplication::style()->standardPalette();

    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : light);
        const QString suffix = dark ? QStringLiteral("dark") : QStringLiteral("light");
        test::UiStore data;
        fillWithHistory(data);
        AppNavState nav;
        ExampleKeys keys(false);
        MainWindowView view(windowDependencies(data, nav, &keys));
        view.resize(1180, 860);
        view.show();

        // Opened the way a user opens them, from the settings page.
        nav.setSelection(NavItem::settings);
        auto* settings = qobject_cast<SettingsView*>(view.page(NavItem::settings));
        settings->changeLanguagesButton()->click();
        QWidget* picker = settings->languagePicker();
        for (const char* code : {"de", "fr", "ja", "uk"}) {
            picker->findChild<QAbstractButton*>(QStringLiteral("language-") + QString::fromLatin1(code))->click();
        }
        QTest::qWait(50);
        QString name = QStringLiteral("%1/language-picker-%2.png").arg(QString::fromLocal8Bit(directory), suffix);
        if (!view.grab().save(name)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return false;
        }
        delete picker;

        settings->addShortcutButton(HotkeyAction::hold)->click();
        QWidget* overlay = settings->captureOverlay();
        QTest::qWait(50);
        name = QStringLiteral("%1/key-capture-%2.png").arg(QString::fromLocal8Bit(directory), suffix);
        if (!view.grab().save(name)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return false;
        }
        delete overlay;
    }
    QApplication::setPalette(original);
    return true;
}

} // namespace
} // namespace quillo

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The screens' symbolic icons come from the icon theme; the offscreen
    // platform neither names one nor searches the system's icon directories.
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << QStringLiteral("/usr/share/icons"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
    const QByteArray directory(argv[1]);
    QDir().mkpath(QString::fromLocal8Bit(directory));
    return quillo::shootScreens(directory) && quillo::shootOverlays(directory) ? 0 : 1;
}
