// The real X11 key source and the hotkey manager on the test desktop's X
// server. Another client types with XTest (xdotool, numeric keycodes) while
// some window has the focus, and the manager must produce exactly the
// expected callbacks.

#include <QProcess>
#include <QWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "base/KeyCodes.h"
#include "fakes/FakeAlert.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecorder.h"
#include "fakes/RecordingLog.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyStore.h"
#include "platform/linux/X11Accessibility.h"
#include "platform/linux/X11KeyEventSource.h"
#include "platform/linux/X11SyntheticKeys.h"
#include "platform/linux/XTestKeySynthesizer.h"
#include "platform/qt/QtKeyEventPump.h"
#include "platform/qt/QtMainQueue.h"
#include "ui/settings/KeyCaptureOverlay.h"

namespace quillo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Another X client, as a window switcher or a program with a global shortcut
// is: "grab" takes the whole keyboard, "grabkey N" binds key N on the root
// window, "ungrab" lets the keyboard go. Each command answers with its name
// and Xlib's result.
const char* const kOtherClient = R"PY(
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
x.XUngrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                       ctypes.c_int]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(d)
for line in sys.stdin:
    words = line.split()
    if words[0] == "grab":
        result = x.XGrabKeyboard(d, root, 1, 1, 1, 0)
    elif words[0] == "grabkey":
        result = x.XGrabKey(d, int(words[1]), 1 << 15, root, 1, 1, 1)
    else:
        result = x.XUngrabKeyboard(d, 0)
    x.XSync(d, 0)
    print(words[0], result, flush=True)
)PY";

const QString kTitle = QStringLiteral("Quillo key test window");

class OtherClient
{
public:
    OtherClient() { m_process.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), kOtherClient}); }
    ~OtherClient()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    QByteArray ask(const QByteArray& command)
    {
        m_process.write(command + '\n');
        pumpUntil([&] { return m_process.canReadLine(); }, 5000);
        return m_process.readLine().trimmed();
    }

private:
    QProcess m_process;
};

class X11KeyEventSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run inside scripts/test-desktop.sh";
        permissions.accessibilityTrusted = isX11AccessibilityTrusted();
        ASSERT_TRUE(permissions.accessibilityTrusted) << "the test desktop has XInput 2 and XTest";
        source = std::make_unique<X11KeyEventSource>(log, std::string(), &ownKeys);
        pump = std::make_unique<QtKeyEventPump>(*source);
        manager = std::make_unique<HotkeyManager>(HotkeyManager::Dependencies{preferences,
                                                                              queue,
                                                                              log,
                                                                              permissions,
                                                                              alert,
                                                                              *source,
                                                                              std::make_unique<FakeRecorder>(events),
                                                                              {}});
        HotkeyControl::Callbacks callbacks;
        callbacks.onStartRecording = [this] { events.push_back("start"); };
        callbacks.onStopRecording = [this](const std::optional<std::string>& path) {
            events.push_back("stop:" + path.value_or("none"));
        };
        callbacks.onPasteLast = [this] { events.push_back("paste"); };
        callbacks.onCancelRecording = [this] { events.push_back("cancel"); };
        manager->setCallbacks(std::move(callbacks));
    }

    // Types with xdotool (another X client) while the main loop keeps running,
    // then lets the loop run until `count` events arrived, and a little longer
    // to catch any extra one.
    void type(const QString& xdotoolCommands, std::size_t count)
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("xdotool ") + xdotoolCommands});
        ASSERT_TRUE(pumpUntil([&] { return xdotool.state() == QProcess::NotRunning; }, 10000));
        ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().data();
        pumpUntil([&] { return events.size() >= count; }, 5000);
        processEventsFor(150);
    }

    RecordingLog log;
    X11SyntheticKeys ownKeys;
    FakePreferences preferences;
    QtMainQueue queue;
    FakePermissions permissions;
    FakeAlert alert;
    std::unique_ptr<X11KeyEventSource> source;
    std::unique_ptr<QtKeyEventPump> pump;
    std::unique_ptr<HotkeyManager> manager;
    std::vector<std::string> events;
};

// Which keys make which action is the unit tests' business; here the keys
// must arrive as the X server sends them, auto-repeat included, and still
// reach the focused window.
TEST_F(X11KeyEventSourceTest, KeysTypedIntoAnotherApplicationReachTheManagerAndThatApplication)
{
    manager->start();
    TkEntryWindow other(kTitle);
    ASSERT_TRUE(other.waitUntilFocused());
    // Right Alt held records; F5 held past the server's auto-repeat delay, and
    // pressed again while down, pastes once.
    type("keydown 108 sleep 0.3 keyup 108 sleep 0.1 keydown 71 sleep 1.2 keydown 71 sleep 0.1 keyup 71", 5);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a", "paste"));
    EXPECT_GT(other.keys().count(QStringLiteral("press F5")), 2)
        << "the focused window saw no auto-repeat, so the held F5 proves nothing";
    EXPECT_TRUE(other.keys().contains(QStringLiteral("release F5"))) << "a key was taken from the focused window";
}

TEST_F(X11KeyEventSourceTest, ReleasesDuringAnotherClientsGrabOrAfterAltF4StillEndTheRecording)
{
    manager->start();
    TkEntryWindow other(kTitle);
    ASSERT_TRUE(other.waitUntilFocused());

    // A window switcher grabs the keyboard while Right Alt is held.
    {
        OtherClient switcher;
        type("keydown 108", 2);
        ASSERT_EQ(switcher.ask("grab"), QByteArray("grab 0")) << "the keyboard grab failed";
        type("keyup 108", 4);
    }
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a")) << "released during a grab";

    // Alt+F4 makes the window manager close the focused window; a dictation
    // right afterwards works as ever.
    events.clear();
    const auto shown = [] {
        return !runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), kTitle})
                    .isEmpty();
    };
    ASSERT_TRUE(shown());
    type("keydown 64 key 70 keyup 64", 0);
    ASSERT_TRUE(pumpUntil([&] { return !shown(); }, 5000)) << "Alt+F4 closed nothing";
    type("keydown 108 sleep 0.3 keyup 108", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-2.m4a")) << "after Alt+F4";
}

TEST_F(X11KeyEventSourceTest, OurOwnSyntheticKeystrokesMakeNoDictation)
{
    // Ctrl+V and Return typed by Quillo itself, with Left Control bound to
    // paste-last and Return to the toggle: nothing happens.
    HotkeyStore(preferences).save({keycode::leftControl}, HotkeyAction::pasteLast);
    HotkeyStore(preferences).save({keycode::returnKey}, HotkeyAction::toggle);
    manager->start();
    TkEntryWindow other(kTitle);
    ASSERT_TRUE(other.waitUntilFocused());
    XTestKeySynthesizer synthesizer(nullptr, &ownKeys);
    ASSERT_TRUE(synthesizer.isAvailable());
    synthesizer.pressPaste(PasteKeys::ctrlV);
    synthesizer.pressReturn();
    processEventsFor(300);
    EXPECT_THAT(events, IsEmpty()) << "our own keystrokes were taken for the user's";
    // The same keys from another program are the user's.
    type("key 37", 1);
    EXPECT_THAT(events, ElementsAre("paste")) << "Left Control typed by another program";
}

TEST_F(X11KeyEventSourceTest, KeysAnotherApplicationHasBoundStillReachTheManagerUntilStopped)
{
    manager->start();
    TkEntryWindow other(kTitle);
    ASSERT_TRUE(other.waitUntilFocused());
    OtherClient shortcuts;
    ASSERT_EQ(shortcuts.ask("grabkey 71"), QByteArray("grabkey 1"));

    type("key 71 sleep 0.1 keydown 108 sleep 0.3 keyup 108", 5);
    EXPECT_THAT(events, ElementsAre("paste", "start", "rec.start", "rec.stop", "stop:clip-1.m4a"));
    EXPECT_FALSE(other.keys().contains(QStringLiteral("press F5")))
        << "the other program's binding should have taken F5";

    events.clear();
    manager->stop();
    type("key 71", 0);
    EXPECT_THAT(events, IsEmpty()) << "stopped";
    manager->start();
    type("key 71", 1);
    EXPECT_THAT(events, ElementsAre("paste")) << "started again";
}

TEST_F(X11KeyEventSourceTest, OurOwnWindowWithTheKeyCaptureOverlayOpenStillDrivesTheManager)
{
    manager->start();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillo own window"));
    window.setGeometry(200, 150, 480, 320);
    window.show();
    window.activateWindow();
    processEventsFor(500);
    ASSERT_EQ(activeWindow().toULongLong(), static_cast<qulonglong>(window.winId()));

    std::vector<int> captured;
    const auto open = [&] {
        auto overlay = std::make_unique<KeyCaptureOverlay>(&window);
        QObject::connect(overlay.get(), &KeyCaptureOverlay::captured, [&](int code, const QString&) {
            captured.push_back(code);
        });
        processEventsFor(100);
        return overlay;
    };

    // Left Shift, then Right Shift, released in that order: only the last
    // release clears the Shift flag, and it is the right-hand key.
    auto overlay = open();
    type("keydown 50 sleep 0.1 keydown 62 sleep 0.1 keyup 50 sleep 0.1 keyup 62", 0);
    // Right Control is bound to the toggle: the manager records while the
    // overlay reports the key, which is how the settings screen comes to show
    // its conflict message.
    overlay = open();
    type("key 105 sleep 0.2 key 105", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a"));
    ASSERT_GE(captured.size(), 2u);
    EXPECT_EQ(captured[0], keycode::rightShift);
    EXPECT_EQ(captured[1], keycode::rightControl);
}

// The manager's reaction to a missing permission is the unit tests' business;
// here only what the X11 side reports for a display that is not there.
TEST_F(X11KeyEventSourceTest, WithoutADisplayNothingIsTrustedOrWatched)
{
    EXPECT_FALSE(isX11AccessibilityTrusted(":187"));
    X11KeyEventSource dead(log, ":187");
    EXPECT_EQ(dead.fileDescriptor(), -1);
    QtKeyEventPump deadPump(dead); // must cope with no descriptor to watch
    const KeyEventSource::Started started = dead.start([](const KeyEvent&) {});
    EXPECT_FALSE(started.watchingKeys);
    EXPECT_FALSE(started.fnChannel);
    dead.dispatchPending(); // must not touch a connection that does not exist
    dead.stop();
}

} // namespace
} // namespace quillo::test
