// The real X11 key source and the hotkey manager on the test desktop's X
// server. Another client types with XTest (xdotool, numeric keycodes) while
// some window has the focus, and the manager must produce exactly the
// expected callbacks.

#include <QProcess>

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

namespace quillo::test {
namespace {

using ::testing::ElementsAre;

// A window switcher in another X client: takes the whole keyboard on "grab".
const char* const kSwitcher = R"PY(
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
sys.stdin.readline()
result = x.XGrabKeyboard(d, x.XDefaultRootWindow(d), 1, 1, 1, 0)
x.XSync(d, 0)
print("grab", result, flush=True)
sys.stdin.readline()
)PY";

const QString kTitle = QStringLiteral("Quillo key test window");

class X11KeyEventSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
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
        const auto note = [this](const char* event) { return [this, event] { events.push_back(event); }; };
        manager->setCallbacks(
            {note("start"),
             [this](const std::optional<std::string>& path) { events.push_back("stop:" + path.value_or("none")); },
             note("cancel"),
             note("paste")});
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
// must arrive as the X server sends them, auto-repeat included, still reach
// the focused window, and still arrive while another client grabs the keyboard.
TEST_F(X11KeyEventSourceTest, KeysReachTheManagerAndTheFocusedApplicationEvenDuringAnotherClientsGrab)
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

    events.clear();
    QProcess switcher;
    switcher.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kSwitcher)});
    type("keydown 108", 2);
    switcher.write("\n");
    ASSERT_TRUE(pumpUntil([&] { return switcher.canReadLine(); }, 5000));
    ASSERT_EQ(switcher.readLine().trimmed(), QByteArray("grab 0")) << "the keyboard grab failed";
    type("keyup 108", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-2.m4a")) << "released during a grab";
    switcher.closeWriteChannel();
    switcher.waitForFinished();
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
    EXPECT_TRUE(events.empty()) << "our own keystrokes were taken for the user's";
    // The same keys from another program are the user's.
    type("key 37", 1);
    EXPECT_THAT(events, ElementsAre("paste")) << "Left Control typed by another program";
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
