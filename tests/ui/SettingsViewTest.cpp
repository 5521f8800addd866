#include "ui/settings/SettingsView.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/Settings.h"
#include "ui/UiTestSupport.h"
#include "ui/settings/KeyCaptureOverlay.h"
#include "ui/settings/LanguagePickerModal.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/ToggleSwitch.h"

namespace quillo {
namespace {

using test::UiStore;

class SettingsViewTest : public ::testing::Test
{
protected:
    SettingsView::Dependencies dependencies()
    {
        auto last = [this] { return lastReport; };
        return {data.preferences, data.microphones, data.store, loginItem(), data.credentials, "Test Model", last};
    }
    virtual LoginItem& loginItem() { return data.loginItem; }

    test::UiStore data;
    std::optional<PasteReport> lastReport;
};

// Keys are added, refused with the conflict message, or removed while another
// remains. Streaming is on until a language picker save turns it off; the
// Deepgram warning needs Deepgram and more than English alone.
TEST_F(SettingsViewTest, KeysLanguagesAndEngineAreEditedAndTheirRowsFollow)
{
    HotkeyStore(data.preferences).save({61, 58}, HotkeyAction::hold);
    data.preferences.setObject(setting::transcriptionEngine.key, "deepgram");
    SettingsView view(dependencies());
    view.resize(900, 900);
    view.show();
    EXPECT_TRUE(view.streamingSwitch()->isChecked());
    EXPECT_FALSE(view.deepgramWarning()->isVisible());
    EXPECT_EQ(view.pills(HotkeyAction::toggle)[0]->removeButton(), nullptr) << "the only key of toggle";
    QTest::mouseClick(view.pills(HotkeyAction::hold)[0]->removeButton(), Qt::LeftButton);
    UiStore::settle();
    EXPECT_EQ(HotkeyStore(data.preferences).codes(HotkeyAction::hold), (std::vector<int>{58}));
    EXPECT_EQ(view.pills(HotkeyAction::hold)[0]->removeButton(), nullptr);

    const auto capture = [&](HotkeyAction action, int keyCode, const QString& name) {
        QTest::mouseClick(view.addShortcutButton(action), Qt::LeftButton);
        auto* overlay = qobject_cast<KeyCaptureOverlay*>(view.captureOverlay());
        ASSERT_NE(overlay, nullptr);
        emit overlay->captured(keyCode, name);
        UiStore::settle();
        EXPECT_EQ(view.captureOverlay(), nullptr) << "the overlay goes after one key";
    };
    capture(HotkeyAction::toggle, 58, QStringLiteral("Left Alt"));
    EXPECT_EQ(view.duplicateWarning()->text(),
              QStringLiteral("⚠ Left Alt is already used for \"Hold to record\". Pick a different key."));
    EXPECT_TRUE(view.duplicateWarning()->isVisible());
    EXPECT_FALSE(data.preferences.object(setting::toggleKeys.key).has_value()) << "nothing saved";

    capture(HotkeyAction::toggle, 97, QStringLiteral("F6"));
    EXPECT_FALSE(view.duplicateWarning()->isVisible());
    EXPECT_EQ(HotkeyStore(data.preferences).codes(HotkeyAction::toggle), (std::vector<int>{62, 97}));

    // A change made elsewhere while the page was hidden shows when it is shown again.
    view.hide();
    HotkeyStore(data.preferences).save({59}, HotkeyAction::toggle);
    view.show();
    ASSERT_EQ(view.pills(HotkeyAction::toggle).size(), 1U);
    EXPECT_EQ(view.pills(HotkeyAction::toggle)[0]->keyCode(), 59);

    QTest::mouseClick(view.changeLanguagesButton(), Qt::LeftButton);
    QWidget* picker = view.languagePicker();
    ASSERT_NE(qobject_cast<LanguagePickerModal*>(picker), nullptr);
    QTest::mouseClick(picker->findChild<QWidget*>(QStringLiteral("language-de")), Qt::LeftButton);
    QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("save")), Qt::LeftButton);
    UiStore::settle();
    EXPECT_EQ(view.languagePicker(), nullptr);
    EXPECT_EQ(view.languagesLabel()->text(), QStringLiteral("English · German (Deutsch)"));
    EXPECT_FALSE(view.streamingSwitch()->isChecked());
    EXPECT_TRUE(view.deepgramWarning()->isVisible());

    // Picking another engine stores it and says what will run now.
    QComboBox* engines = view.enginePicker();
    const int local = engines->findData(QStringLiteral("local"));
    engines->setCurrentIndex(local);
    emit engines->activated(local);
    EXPECT_EQ(data.preferences.stringForKey(setting::transcriptionEngine.key), "local");
    EXPECT_FALSE(view.deepgramWarning()->isVisible());
    EXPECT_EQ(view.engineStatus()->text().toStdString(),
              "Your speech is transcribed on this computer (English only), and nothing leaves it.");
    EXPECT_EQ(view.aboutValue(QStringLiteral("Transcription"))->text(), QStringLiteral("Offline Test Model"));
}

TEST_F(SettingsViewTest, InstructionsMicrophonePasteMethodsAndLoginAreStoredOnEveryEditAndFollowOutsideChanges)
{
    data.loginItem.fail = true;
    data.audioDevices.devices = {{"mic-a", "mic-a", "Desk Microphone", 3}};
    SettingsView view(dependencies());
    data.audioDevices.devices.push_back({"mic-b", "mic-b", "Headset", 4});
    view.show();

    QPlainTextEdit* editor = view.instructionsEditor();
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("Use"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(data.preferences.stringForKey(setting::cleanupInstructions.key), "Us");
    data.preferences.setObject(setting::cleanupInstructions.key, "Use British spelling");
    UiStore::settle();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Use British spelling"));

    // The devices are listed again when the page is shown, after "Automatic".
    QComboBox* microphones = view.microphonePicker();
    ASSERT_EQ(microphones->count(), 3);
    emit microphones->activated(2);
    EXPECT_EQ(data.microphones.selectedUID(), "mic-b");

    // The last application is offered with the method it gets anyway, once.
    PasteMethodsCard& card = *view.pasteMethods();
    EXPECT_FALSE(card.addLastApplicationButton()->isVisibleTo(&view)) << "no dictation yet";
    lastReport = PasteReport{"lxterminal", "Lxterminal", PasteMethod::ctrlShiftV, DeliveryOutcome::notDelivered};
    card.reload();
    card.addLastApplicationButton()->click();
    EXPECT_EQ(PasteMethodTable::overrides(data.preferences),
              (std::map<std::string, PasteMethod>{{"lxterminal", PasteMethod::ctrlShiftV}}));
    EXPECT_FALSE(card.addLastApplicationButton()->isVisibleTo(&view)) << "offered twice";

    auto* picker = card.findChild<QComboBox*>();
    ASSERT_NE(picker, nullptr);
    picker->setCurrentIndex(picker->findText(QStringLiteral("Type the text")));
    emit picker->activated(picker->currentIndex());
    EXPECT_EQ(PasteMethodTable::methodFor(data.preferences, "lxterminal"), PasteMethod::typeText);

    card.findChild<QToolButton*>()->click();
    UiStore::settle();
    EXPECT_TRUE(PasteMethodTable::overrides(data.preferences).empty());
    EXPECT_EQ(card.findChild<QComboBox*>(), nullptr);

    // A failed registration keeps the choice.
    QTest::mouseClick(view.launchAtLoginSwitch(), Qt::LeftButton);
    EXPECT_EQ(data.loginItem.requests, (std::vector<bool>{true}));
    EXPECT_TRUE(view.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(data.preferences.boolForKey(setting::launchAtLogin.key));
}

// "Launch at Login" against a real autostart directory, checked by the
// freedesktop validator.
class LaunchAtLoginTest : public SettingsViewTest
{
protected:
    LoginItem& loginItem() override { return item; }

    QTemporaryDir config;
    const std::string directory = config.filePath(QStringLiteral("autostart")).toStdString();
    PosixFileSystem disk;
    // Spaces, quotes, a dollar sign and a percent sign all need escaping in Exec.
    const std::string executable = "/opt/My \"Apps\"/$HOME/quillo 100%";
    XdgAutostartLoginItem item{disk, directory, executable};
};

TEST_F(LaunchAtLoginTest, SwitchWritesAValidEntryAndRemovesItAndAnInstalledCopyTakesOverAnother)
{
    SettingsView view(dependencies());
    view.show();
    QTest::mouseClick(view.launchAtLoginSwitch(), Qt::LeftButton);
    EXPECT_TRUE(data.preferences.boolForKey(setting::launchAtLogin.key));
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(item.entryPath())});
    ASSERT_TRUE(validator.waitForFinished(10000)) << "scripts/install-deps.sh installs desktop-file-validate";
    EXPECT_EQ(validator.exitCode(), 0) << validator.readAll().toStdString();
    EXPECT_NE(disk.readFile(item.entryPath()).contents.find(R"(Exec="/opt/My \\"Apps\\"/\\$HOME/quillo 100%%")"),
              std::string::npos);
    QTest::mouseClick(view.launchAtLoginSwitch(), Qt::LeftButton);
    EXPECT_FALSE(data.preferences.boolForKey(setting::launchAtLogin.key));
    EXPECT_TRUE(QDir(QString::fromStdString(directory)).isEmpty()) << "no temporary file left behind";

    // Entries of a build tree's copy and under the older name give way to the installed program.
    ASSERT_TRUE(XdgAutostartLoginItem(disk, directory, "/home/dev/quillo/build/quillo").setRegistered(true));
    ASSERT_TRUE(disk.writeFileAtomically(directory + "/quillo.desktop", "[Desktop Entry]\n", 0644));
    item.startThisProgram();
    EXPECT_EQ(QDir(QString::fromStdString(directory)).entryList(QDir::Files),
              QStringList{QStringLiteral("org.quillo.Quillo.desktop")});
    EXPECT_EQ(disk.readFile(item.entryPath()).contents, XdgAutostartLoginItem::desktopEntry(executable));
    ASSERT_TRUE(item.setRegistered(false));
    item.startThisProgram();
    EXPECT_TRUE(QDir(QString::fromStdString(directory)).isEmpty()) << "the user's choice not to start it stands";
}

} // namespace
} // namespace quillo
