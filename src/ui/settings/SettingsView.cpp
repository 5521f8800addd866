#include "ui/settings/SettingsView.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/LoginItem.h"
#include "settings/Settings.h"
#include "store/DataStore.h"
#include "transcription/EngineRouting.h"
#include "transcription/OpenAIService.h"
#include "ui/settings/DesktopKeysNote.h"
#include "ui/settings/KeyCaptureOverlay.h"
#include "ui/settings/KeyNames.h"
#include "ui/settings/LanguagePickerModal.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StoreWatcher.h"
#include "ui/widgets/ToggleSwitch.h"

namespace quillo {

namespace {

constexpr int kCardPaddingH = 22;
constexpr int kCardPaddingV = 18;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// Orange reads on both a white and a dark card.
QColor warningOrange()
{
    return QColor(230, 126, 18);
}

std::size_t indexOf(HotkeyAction action)
{
    return static_cast<std::size_t>(action);
}

// A hairline between the rows of a card, in the card border's colour.
class Divider final : public QWidget
{
public:
    Divider()
    {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), theme::cardBorder(palette()));
    }
};

// A section title: upper-case, small, spaced out, faint.
QWidget* sectionHeader(const QString& title)
{
    QFont font = theme::font(theme::sectionHeadSize, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    auto* label = new ThemedLabel(title.toUpper(), ThemedLabel::Role::tertiary, font);
    label->setContentsMargins(4, 0, 0, 0);
    return label;
}

QLabel* caption(const QString& text)
{
    auto* label = new ThemedLabel(text, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    label->setWordWrap(true);
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

QLabel* rowTitle(const QString& text)
{
    return new ThemedLabel(text, ThemedLabel::Role::primary, theme::font(theme::bodySize, QFont::Medium));
}

QLabel* rowDescription(const QString& text)
{
    auto* label = new ThemedLabel(text, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    label->setWordWrap(true);
    return label;
}

CardFrame* card(QVBoxLayout*& layout)
{
    auto* frame = new CardFrame(12);
    layout = new QVBoxLayout(frame);
    layout->setContentsMargins(kCardPaddingH, kCardPaddingV, kCardPaddingH, kCardPaddingV + 2);
    layout->setSpacing(14);
    return frame;
}

QComboBox* picker()
{
    auto* combo = new QComboBox;
    combo->setFont(theme::font(theme::captionSize));
    combo->setMinimumWidth(260);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setCursor(Qt::PointingHandCursor);
    return combo;
}

QPushButton* accentButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setFont(theme::font(theme::captionSize, QFont::Medium));
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(true);
    button->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: transparent; border: none;"
                                         " padding: 5px 8px; border-radius: 6px; }"
                                         "QPushButton:hover { background: %2; }")
                              .arg(theme::accentText().name(), theme::accentSoft().name(QColor::HexArgb)));
    return button;
}

} // namespace

// ------------------------------------------------------------------ ShortcutPill

ShortcutPill::ShortcutPill(int keyCode, bool canRemove, QWidget* parent) : QWidget(parent), m_keyCode(keyCode)
{
    setObjectName(QStringLiteral("shortcutPill"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 5, canRemove ? 6 : 12, 5);
    layout->setSpacing(6);
    m_name = new ThemedLabel(displayKeyName(keyCode),
                             ThemedLabel::Role::primary,
                             theme::font(theme::captionSize, QFont::Medium));
    layout->addWidget(m_name);
    if (canRemove) {
        m_remove = new QToolButton;
        m_remove->setObjectName(QStringLiteral("removeKey"));
        m_remove->setToolTip(QStringLiteral("Remove"));
        m_remove->setAutoRaise(true);
        m_remove->setCursor(Qt::PointingHandCursor);
        m_remove->setFixedSize(20, 20);
        m_remove->setIconSize(QSize(12, 12));
        const QPixmap xmark =
            theme::tintedIcon({"window-close-symbolic"}, theme::textSecondary(palette()), 12, devicePixelRatioF());
        if (xmark.isNull()) {
            m_remove->setText(QStringLiteral("×"));
        } else {
            m_remove->setIcon(xmark);
        }
        connect(m_remove, &QToolButton::clicked, this, [this] { emit removeRequested(m_keyCode); });
        layout->addWidget(m_remove);
    }
}

QString ShortcutPill::keyName() const
{
    return m_name->text();
}

void ShortcutPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(theme::cardBorder(palette()));
    painter.setBrush(theme::keycapBg(palette()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
}

// ------------------------------------------------------------------ SettingsView

SettingsView::SettingsView(Dependencies dependencies, QWidget* parent)
    : QWidget(parent), m_preferences(dependencies.preferences), m_microphones(dependencies.microphones),
      m_store(dependencies.store), m_loginItem(dependencies.loginItem), m_credentials(dependencies.credentials),
      m_unknownOfflineWords(std::move(dependencies.unknownOfflineWords)),
      m_localModelName(std::move(dependencies.localModelName)), m_hotkeys(m_preferences),
      m_bindings(m_hotkeys.bindings()), m_selectedCodes(QuilloLanguage::enabled(m_preferences)),
      m_storeWatcher(new StoreWatcher(m_store, this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // Every row wraps or fits, so the page only ever scrolls down.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(44, 40, 44, 44);
    column->setSpacing(10);
    const auto section = [column](const QString& title, QWidget* body, QLabel* note = nullptr) {
        column->addWidget(sectionHeader(title));
        column->addWidget(body);
        if (note) {
            column->addSpacing(2);
            column->addWidget(note);
        }
        column->addSpacing(22);
    };
    section(QStringLiteral("Hotkeys"), buildHotkeysCard(), desktopKeysNote(keysManagedByDesktop()));
    section(
        QStringLiteral("Languages"),
        buildLanguagesCard(),
        caption(QStringLiteral("Quillo passes your selected language(s) to the transcription engine. If multiple "
                               "are selected, the engine auto-detects. At least one language is always selected.")));
    section(QStringLiteral("Microphone"), buildMicrophoneCard());
    section(QStringLiteral("Transcription Engine"),
            buildEngineCard(),
            caption(QStringLiteral("Auto routes English-only to Deepgram (nova-3) and any other selected language to "
                                   "OpenAI (gpt-4o-mini-transcribe).")));
    section(QStringLiteral("Custom Cleanup Instructions"),
            buildInstructionsCard(),
            caption(QStringLiteral("Optional extra guidance — e.g. \"Keep technical jargon as-is\" or \"Use British "
                                   "spelling\". Leave blank for defaults.")));
    QVBoxLayout* pasteLayout = nullptr;
    CardFrame* pasteCard = card(pasteLayout);
    m_pasteMethods = new PasteMethodsCard(m_preferences, dependencies.lastPaste);
    pasteLayout->addWidget(m_pasteMethods);
    section(QStringLiteral("Pasting"), pasteCard);
    section(QStringLiteral("General"), buildGeneralCard());
    section(QStringLiteral("About"), buildAboutCard());
    column->addStretch(1);
    scroll->setWidget(content);

    m_preferencesToken = m_preferences.addObserver([this, pending = m_preferencesPending](const std::string&) {
        if (pending->exchange(true)) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, pending] {
                pending->store(false);
                reloadStoredPreferences();
            },
            Qt::QueuedConnection);
    });
    m_microphonesToken = m_microphones.addObserver([this, pending = m_microphonesPending] {
        if (pending->exchange(true)) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, pending] {
                pending->store(false);
                rebuildMicrophonePicker();
            },
            Qt::QueuedConnection);
    });
    connect(m_storeWatcher, &StoreWatcher::changed, this, &SettingsView::refreshTotal);

    reloadWorkingCopies();
    reloadStoredPreferences();
    rebuildMicrophonePicker();
    refreshTotal();
}

SettingsView::~SettingsView()
{
    m_preferences.removeObserver(m_preferencesToken);
    m_microphones.removeObserver(m_microphonesToken);
}

QString SettingsView::languagesText(const LanguageSet& codes)
{
    QStringList names;
    for (const QuilloLanguage& language : QuilloLanguage::all()) {
        if (!codes.contains(language.bcp47)) {
            continue;
        }
        names << (language.bcp47 == "en"
                      ? qs(language.displayName)
                      : qs(language.displayName) + QStringLiteral(" (") + qs(language.native) + QStringLiteral(")"));
    }
    return names.join(QStringLiteral(" · "));
}

QString SettingsView::transcriptionText(TranscriptionEngine engine, const std::string& localModelName)
{
    return qs(transcriptionAboutText(engine, localModelName));
}

std::vector<ShortcutPill*> SettingsView::pills(HotkeyAction action) const
{
    std::vector<ShortcutPill*> result;
    const FlowLayout* layout = m_hotkeyRows[indexOf(action)].keys;
    for (int i = 0; i < layout->count(); ++i) {
        if (auto* pill = qobject_cast<ShortcutPill*>(layout->itemAt(i)->widget())) {
            result.push_back(pill);
        }
    }
    return result;
}

QPushButton* SettingsView::addShortcutButton(HotkeyAction action) const
{
    return m_hotkeyRows[indexOf(action)].add;
}

QLabel* SettingsView::aboutValue(const QString& label) const
{
    for (const auto& [name, value] : m_aboutValues) {
        if (name == label) {
            return value;
        }
    }
    return nullptr;
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_microphones.refreshDevices();
    rebuildMicrophonePicker();
    reloadWorkingCopies();
    reloadStoredPreferences();
    refreshTotal();
    m_pasteMethods->reload();
}

// ------------------------------------------------------------------ sections

QWidget* SettingsView::buildHotkeysCard()
{
    struct RowText
    {
        HotkeyAction action;
        const char16_t* label;
        const char16_t* description;
    };
    static constexpr RowText kRows[] = {
        {HotkeyAction::hold, u"Hold to record", u"Hold this key while speaking. Release to transcribe and paste."},
        {HotkeyAction::toggle, u"Hands-free toggle", u"Press once to start recording, press again to stop and paste."},
        {HotkeyAction::pasteLast, u"Paste last", u"Re-pastes your most recent dictation at the cursor."},
    };

    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    for (const RowText& text : kRows) {
        if (text.action != HotkeyAction::hold) {
            layout->addWidget(new Divider);
        }
        auto* block = new QVBoxLayout;
        block->setSpacing(4);
        block->addWidget(rowTitle(QString::fromUtf16(text.label)));
        block->addWidget(rowDescription(QString::fromUtf16(text.description)));
        block->addSpacing(8);

        HotkeyRow& row = m_hotkeyRows[indexOf(text.action)];
        row.action = text.action;
        auto* keys = new QWidget;
        row.keys = new FlowLayout(keys, 8);
        row.keys->setContentsMargins(0, 0, 0, 0);
        row.add = accentButton(QStringLiteral("Add shortcut"));
        row.add->setObjectName(QStringLiteral("addShortcut"));
        const QPixmap plus = theme::tintedIcon({"list-add-symbolic"}, theme::accent(), 16, devicePixelRatioF());
        if (!plus.isNull()) {
            row.add->setIcon(plus);
        }
        connect(row.add, &QPushButton::clicked, this, [this, action = text.action] { startCapture(action); });
        row.keys->addWidget(row.add);
        block->addWidget(keys);
        layout->addLayout(block);
    }

    layout->addWidget(new Divider);
    m_duplicateWarning = new QLabel;
    m_duplicateWarning->setObjectName(QStringLiteral("duplicateWarning"));
    m_duplicateWarning->setFont(theme::font(theme::captionSize));
    m_duplicateWarning->setWordWrap(true);
    m_duplicateWarning->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(warningOrange().name()));
    m_duplicateWarning->hide();
    layout->addWidget(m_duplicateWarning);
    return frame;
}

QWidget* SettingsView::buildLanguagesCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(rowTitle(QStringLiteral("Dictation Languages")));
    m_languages = rowDescription(QString());
    m_languages->setObjectName(QStringLiteral("selectedLanguages"));
    text->addWidget(m_languages);
    row->addLayout(text, 1);
    m_changeLanguages = new QPushButton(QStringLiteral("Change"));
    m_changeLanguages->setFont(theme::font(theme::captionSize));
    m_changeLanguages->setCursor(Qt::PointingHandCursor);
    connect(m_changeLanguages, &QPushButton::clicked, this, &SettingsView::changeLanguages);
    row->addWidget(m_changeLanguages, 0, Qt::AlignVCenter);
    layout->addLayout(row);
    return frame;
}

QWidget* SettingsView::buildMicrophoneCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    auto* row = new QHBoxLayout;
    row->addWidget(rowTitle(QStringLiteral("Input device")));
    row->addStretch(1);
    m_microphonePicker = picker();
    m_microphonePicker->setObjectName(QStringLiteral("microphonePicker"));
    connect(m_microphonePicker, &QComboBox::activated, this, [this](int index) {
        m_microphones.setSelectedUID(m_microphonePicker->itemData(index).toString().toStdString());
    });
    row->addWidget(m_microphonePicker);
    layout->addLayout(row);
    return frame;
}

QWidget* SettingsView::buildEngineCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);

    auto* engineRow = new QHBoxLayout;
    engineRow->addWidget(rowTitle(QStringLiteral("Engine")));
    engineRow->addStretch(1);
    m_enginePicker = picker();
    m_enginePicker->setObjectName(QStringLiteral("enginePicker"));
    for (const TranscriptionEngine& engine : TranscriptionEngine::allCases()) {
        m_enginePicker->addItem(qs(engine.displayName()), qs(engine.rawValue()));
    }
    connect(m_enginePicker, &QComboBox::activated, this, [this](int index) {
        EditableSettings(m_preferences)
            .set(setting::transcriptionEngine, m_enginePicker->itemData(index).toString().toStdString());
        reloadStoredPreferences();
    });
    engineRow->addWidget(m_enginePicker);
    layout->addLayout(engineRow);
    m_engineStatus = rowDescription(QString());
    m_engineStatus->setObjectName(QStringLiteral("engineStatus"));
    layout->addWidget(m_engineStatus);
    layout->addWidget(new OfflineWordsNote(m_preferences, m_credentials, m_store, m_unknownOfflineWords));
    layout->addWidget(new Divider);

    auto* streamingRow = new QHBoxLayout;
    streamingRow->setSpacing(16);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(rowTitle(QStringLiteral("Streaming transcription (English, beta)")));
    text->addWidget(rowDescription(QStringLiteral("Transcribes while you speak via Deepgram live. English/Deepgram "
                                                  "only; falls back to normal upload on any error.")));
    streamingRow->addLayout(text, 1);
    m_streamingSwitch = new ToggleSwitch;
    m_streamingSwitch->setObjectName(QStringLiteral("streamingSwitch"));
    connect(m_streamingSwitch, &ToggleSwitch::clicked, this, [this](bool on) {
        EditableSettings(m_preferences).set(setting::streamingEnabled, on);
    });
    streamingRow->addWidget(m_streamingSwitch, 0, Qt::AlignVCenter);
    layout->addLayout(streamingRow);

    m_deepgramWarning = new QWidget;
    m_deepgramWarning->setObjectName(QStringLiteral("deepgramWarning"));
    auto* warningColumn = new QVBoxLayout(m_deepgramWarning);
    warningColumn->setContentsMargins(0, 0, 0, 0);
    warningColumn->setSpacing(14);
    warningColumn->addWidget(new Divider);
    auto* warningRow = new QHBoxLayout;
    warningRow->setSpacing(10);
    auto* icon = new QLabel;
    const QPixmap triangle = theme::tintedIcon({"dialog-warning-symbolic"}, warningOrange(), 18, devicePixelRatioF());
    icon->setPixmap(triangle);
    icon->setFixedSize(18, 18);
    warningRow->addWidget(icon, 0, Qt::AlignTop);
    auto* warningText = rowDescription(QStringLiteral("Deepgram has limited support for non-English languages. "
                                                      "Switch to Auto or OpenAI for non-English dictation."));
    warningRow->addWidget(warningText, 1);
    warningColumn->addLayout(warningRow);
    m_deepgramWarning->hide();
    layout->addWidget(m_deepgramWarning);
    return frame;
}

QWidget* SettingsView::buildInstructionsCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    layout->setContentsMargins(12, 10, 12, 12);
    m_instructions = new QPlainTextEdit;
    m_instructions->setObjectName(QStringLiteral("cleanupInstructions"));
    m_instructions->setFont(theme::font(theme::captionSize));
    m_instructions->setFrameShape(QFrame::NoFrame);
    m_instructions->setFixedHeight(110);
    m_instructions->setTabChangesFocus(true);
    connect(m_instructions, &QPlainTextEdit::textChanged, this, [this] {
        const std::string text = m_instructions->toPlainText().toStdString();
        if (Settings(m_preferences).get(setting::cleanupInstructions) != text) {
            EditableSettings(m_preferences).set(setting::cleanupInstructions, text);
        }
    });
    layout->addWidget(m_instructions);
    return frame;
}

QWidget* SettingsView::buildGeneralCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    auto* row = new QHBoxLayout;
    row->addWidget(rowTitle(QStringLiteral("Launch at Login")));
    row->addStretch(1);
    m_launchAtLogin = new ToggleSwitch;
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
    connect(m_launchAtLogin, &ToggleSwitch::clicked, this, [this](bool on) {
        EditableSettings(m_preferences).set(setting::launchAtLogin, on);
        // A failure is deliberately not reported: the switch keeps the user's
        // choice, and the next change of it tries again.
        m_loginItem.setRegistered(on);
    });
    row->addWidget(m_launchAtLogin);
    layout->addLayout(row);
    return frame;
}

QWidget* SettingsView::buildAboutCard()
{
    QVBoxLayout* layout = nullptr;
    CardFrame* frame = card(layout);
    layout->setSpacing(11);
    const auto aboutRow = [&](const QString& label, const QString& value) {
        auto* row = new QHBoxLayout;
        row->setSpacing(24);
        row->addWidget(new ThemedLabel(label, ThemedLabel::Role::primary, theme::font(theme::captionSize)));
        auto* valueLabel = new ThemedLabel(value, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
        valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The auto engine's line is long: it wraps rather than widen the page.
        valueLabel->setWordWrap(true);
        row->addWidget(valueLabel, 1);
        layout->addLayout(row);
        m_aboutValues.emplace_back(label, valueLabel);
    };
    aboutRow(QStringLiteral("Version"), QStringLiteral("Quillo v") + QString::fromLatin1(QUILLO_VERSION));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Description"), QStringLiteral("Native voice dictation for Linux"));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Transcription"), QString());
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Cleanup"), QStringLiteral("OpenAI ") + QString::fromLatin1(OpenAIService::cleanupModel));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Total dictations"), QString());
    return frame;
}

// ------------------------------------------------------------------ state

void SettingsView::reloadWorkingCopies()
{
    m_bindings = m_hotkeys.bindings();
    for (HotkeyRow& row : m_hotkeyRows) {
        rebuildPills(row);
    }
    m_selectedCodes = QuilloLanguage::enabled(m_preferences);
    m_languages->setText(languagesText(m_selectedCodes));
    refreshDeepgramWarning();
    refreshEngineStatus();
}

void SettingsView::reloadStoredPreferences()
{
    const TranscriptionEngine engine = TranscriptionEngine::current(m_preferences);
    m_enginePicker->setCurrentIndex(m_enginePicker->findData(qs(engine.rawValue())));
    const Settings settings(m_preferences);
    m_streamingSwitch->setChecked(settings.get(setting::streamingEnabled));
    m_launchAtLogin->setChecked(settings.get(setting::launchAtLogin));
    const QString instructions = qs(settings.get(setting::cleanupInstructions));
    if (m_instructions->toPlainText() != instructions) {
        const QSignalBlocker blocker(m_instructions);
        m_instructions->setPlainText(instructions);
    }
    aboutValue(QStringLiteral("Transcription"))->setText(transcriptionText(engine, m_localModelName));
    refreshDeepgramWarning();
    refreshEngineStatus();
}

void SettingsView::rebuildPills(HotkeyRow& row)
{
    while (QLayoutItem* item = row.keys->takeAt(0)) {
        if (item->widget() != row.add) {
            delete item->widget();
        }
        delete item;
    }
    const std::vector<int>& codes = m_bindings.codes(row.action);
    for (int code : codes) {
        auto* pill = new ShortcutPill(code, codes.size() >= 2);
        connect(pill, &ShortcutPill::removeRequested, this, [this, action = row.action](int keyCode) {
            // Deferred: the pill that asked is deleted by the rebuild.
            QMetaObject::invokeMethod(
                this,
                [this, action, keyCode] { removeKey(action, keyCode); },
                Qt::QueuedConnection);
        });
        row.keys->addWidget(pill);
    }
    row.keys->addWidget(row.add);
}

void SettingsView::rebuildMicrophonePicker()
{
    const QSignalBlocker blocker(m_microphonePicker);
    m_microphonePicker->clear();
    m_microphonePicker->addItem(qs(m_microphones.automaticLabel()), QString());
    for (const MicDevice& device : m_microphones.devices()) {
        m_microphonePicker->addItem(qs(device.name), qs(device.uid));
    }
    // A chosen device that is unplugged matches no entry and leaves the picker
    // blank rather than pretending the automatic choice is in force.
    m_microphonePicker->setCurrentIndex(m_microphonePicker->findData(qs(m_microphones.selectedUID())));
}

void SettingsView::refreshDeepgramWarning()
{
    const bool show = TranscriptionEngine::current(m_preferences) == TranscriptionEngine::deepgram &&
                      m_selectedCodes != LanguageSet{"en"};
    m_deepgramWarning->setVisible(show);
}

void SettingsView::refreshEngineStatus()
{
    // Keys are read afresh: one added since the page was last shown counts.
    const EngineRoute route = currentRoute(m_preferences, m_credentials, m_selectedCodes);
    m_engineStatus->setText(qs(engineStatusLine(route, m_selectedCodes)));
}

void SettingsView::refreshTotal()
{
    aboutValue(QStringLiteral("Total dictations"))->setText(QString::number(m_store.totalDictations()));
}

void SettingsView::showDuplicateWarning(const QString& text)
{
    m_duplicateWarning->setText(QStringLiteral("⚠ ") + text);
    m_duplicateWarning->show();
}

void SettingsView::hideDuplicateWarning()
{
    m_duplicateWarning->hide();
    m_duplicateWarning->clear();
}

// ------------------------------------------------------------------ actions

void SettingsView::removeKey(HotkeyAction action, int keyCode)
{
    if (m_hotkeys.removeKey(m_bindings, action, keyCode).changed()) {
        rebuildPills(m_hotkeyRows[indexOf(action)]);
    }
}

void SettingsView::startCapture(HotkeyAction action)
{
    hideDuplicateWarning();
    m_capturingFor = action;
    if (m_captureOverlay) {
        return; // already open: the key it reports goes to the row pressed last
    }
    auto* overlay = new KeyCaptureOverlay(this);
    m_captureOverlay = overlay;
    connect(overlay, &KeyCaptureOverlay::captured, this, &SettingsView::finishCapture);
    connect(overlay, &KeyCaptureOverlay::cancelled, this, &SettingsView::cancelCapture);
    overlay->show();
}

void SettingsView::finishCapture(int keyCode, const QString& keyName)
{
    const std::optional<HotkeyAction> action = std::exchange(m_capturingFor, std::nullopt);
    if (m_captureOverlay) {
        m_captureOverlay->hide();
        m_captureOverlay->deleteLater(); // it may still be inside its own key handler
    }
    if (!action) {
        return;
    }
    const KeyEditResult result = m_hotkeys.addKey(m_bindings, *action, keyCode, keyName.toStdString());
    switch (result.outcome) {
    case KeyEditResult::Outcome::conflict:
        showDuplicateWarning(qs(result.message));
        break;
    case KeyEditResult::Outcome::added:
        hideDuplicateWarning();
        rebuildPills(m_hotkeyRows[indexOf(*action)]);
        break;
    case KeyEditResult::Outcome::unchanged:
    case KeyEditResult::Outcome::removed:
        break;
    }
}

void SettingsView::cancelCapture()
{
    m_capturingFor.reset();
    if (m_captureOverlay) {
        m_captureOverlay->hide();
        m_captureOverlay->deleteLater(); // it may still be inside its own key handler
    }
}

void SettingsView::changeLanguages()
{
    m_selectedCodes = QuilloLanguage::enabled(m_preferences);
    if (m_languagePicker) {
        return;
    }
    auto* picker = new LanguagePickerModal(m_preferences, this);
    m_languagePicker = picker;
    // Save has stored the languages and the streaming switch; Cancel stored
    // nothing. Either way the screen shows what the store now holds.
    connect(picker, &LanguagePickerModal::closed, this, [this] {
        m_selectedCodes = QuilloLanguage::enabled(m_preferences);
        m_languages->setText(languagesText(m_selectedCodes));
        reloadStoredPreferences();
    });
    picker->show();
}

} // namespace quillo
