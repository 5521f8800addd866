// The real X11 key source and the hotkey manager on the test desktop's X
// server. Another client types with XTest (xdotool, numeric keycodes) while
// some window has the focus, and the manager must produce exactly the
// expected callbacks.

#include <QDeadlineTimer>
#include <QProcess>
#include <QWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ForeignApps.h"
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

// A Tk window in another process that reports the keys it receives
// ("press F5", "release F5"). With a key code argument it also binds that key
// passively on the root window from a connection of its own, as a desktop
// shortcut of another program would.
const char* const kTkWindow = R"PY(
import ctypes, sys, tkinter as tk
root = tk.Tk()
root.title(sys.argv[1])
root.geometry("320x200+400+300")
def report(kind, event):
    print(kind, event.keysym, flush=True)
root.bind_all("<KeyPress>", lambda e: report("press", e))
root.bind_all("<KeyRelease>", lambda e: report("release", e))
if len(sys.argv) > 2:
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong,
                           ctypes.c_int, ctypes.c_int, ctypes.c_int]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    grabber = x.XOpenDisplay(None)
    x.XGrabKey(grabber, int(sys.argv[2]), 1 << 15, x.XDefaultRootWindow(grabber), 1, 1, 1)
    x.XSync(grabber, 0)
def ready():
    root.focus_force()
    print("ready", flush=True)
root.after(300, ready)
root.mainloop()
)PY";

// Another client that grabs the whole keyboard on "grab" and lets go on
// "ungrab" (lines on its standard input), as a window switcher does.
const char* const kKeyboardGrabber = R"PY(
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
x.XUngrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
for line in sys.stdin:
    if line.strip() == "grab":
        print("grab", x.XGrabKeyboard(d, x.XDefaultRootWindow(d), 1, 1, 1, 0), flush=True)
    else:
        x.XUngrabKeyboard(d, 0)
    x.XSync(d, 0)
)PY";

class X11KeyEventSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run inside scripts/test-desktop.sh";
        permissions.accessibilityTrusted = isX11AccessibilityTrusted();
        source = std::make_unique<X11KeyEventSource>(log, std::string(), &ownKeys);
        pump = std::make_unique<QtKeyEventPump>(*source);
        auto recorder = std::make_unique<FakeRecorder>(events);
        manager = std::make_unique<HotkeyManager>(
            HotkeyManager::Dependencies{preferences, queue, log, permissions, alert, *source, std::move(recorder), {}});
        HotkeyControl::Callbacks callbacks;
        callbacks.onStartRecording = [this] { events.push_back("start"); };
        callbacks.onStopRecording = [this](const std::optional<std::string>& path) {
            events.push_back("stop:" + path.value_or("none"));
        };
        callbacks.onPasteLast = [this] { events.push_back("paste"); };
        callbacks.onCancelRecording = [this] { events.push_back("cancel"); };
        manager->setCallbacks(std::move(callbacks));
    }

    void TearDown() override
    {
        manager.reset();
        pump.reset();
        source.reset();
        if (tk.state() != QProcess::NotRunning) {
            tk.kill();
            tk.waitForFinished();
        }
    }

    // Starts the Tk window and waits until the window manager has given it
    // the focus.
    void showOtherWindow(const QStringList& extraArguments = {})
    {
        tk.start(QStringLiteral("python3"),
                 QStringList{QStringLiteral("-c"), QString::fromUtf8(kTkWindow), kTkTitle} + extraArguments);
        QDeadlineTimer deadline(10000);
        while (!tkOutput().contains("ready") && !deadline.hasExpired()) {
            processEventsFor(50);
        }
        ASSERT_TRUE(tkOutput().contains("ready"))
            << "the Tk window did not come up: " << tk.readAllStandardError().data();
        while (!deadline.hasExpired()) {
            const QByteArray active =
                runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")})
                    .trimmed();
            if (active == kTkTitle.toUtf8()) {
                return;
            }
            processEventsFor(100);
        }
        FAIL() << "the Tk window never got the focus";
    }

    QByteArray tkOutput()
    {
        m_tkOutput += tk.readAllStandardOutput();
        return m_tkOutput;
    }

    // Types with xdotool (another X client) while the main loop keeps running,
    // then lets the loop run until `count` events arrived, and a little longer
    // to catch any extra one.
    void type(const QString& xdotoolCommands, std::size_t count)
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("xdotool ") + xdotoolCommands});
        QDeadlineTimer deadline(10000);
        while (xdotool.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            processEventsFor(10);
        }
        ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().data();
        while (events.size() < count && !deadline.hasExpired()) {
            processEventsFor(10);
        }
        processEventsFor(150);
    }

    const QString kTkTitle = QStringLiteral("Quillo key test window");

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
    QProcess tk;
    QByteArray m_tkOutput;
};

TEST_F(X11KeyEventSourceTest, KeysTypedIntoAnotherApplicationDriveTheManager)
{
    HotkeyStore(preferences).save({keycode::rightOption, keycode::leftCommand}, HotkeyAction::hold);
    EXPECT_TRUE(permissions.accessibilityTrusted) << "the test desktop has XInput 2 and XTest";
    manager->start();
    EXPECT_THAT(log.lines(), ElementsAre("[Quillo] AXIsProcessTrusted = true", "[Quillo] Fn tap created: FAILED"));
    showOtherWindow();

    std::vector<std::string> expected;
    auto expect = [&](std::initializer_list<const char*> more) {
        expected.insert(expected.end(), more.begin(), more.end());
        return expected.size();
    };

    // Right Alt held 300 ms: hold to record.
    type("keydown 108 sleep 0.3 keyup 108", expect({"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}));
    EXPECT_EQ(events, expected) << "Right Alt held";

    // Right Ctrl pressed twice: toggle on, toggle off.
    type("key 105 sleep 0.2 key 105", expect({"start", "rec.start", "rec.stop", "stop:clip-2.m4a"}));
    EXPECT_EQ(events, expected) << "Right Ctrl twice";

    // F5: paste-last.
    type("key 71", expect({"paste"}));
    EXPECT_EQ(events, expected) << "F5";

    // F5 held past the server's auto-repeat delay, and pressed again while
    // down: still one paste-last.
    const auto tkPressesBefore = tkOutput().count("press F5");
    type("keydown 71 sleep 1.2 keydown 71 sleep 0.1 keyup 71", expect({"paste"}));
    EXPECT_EQ(events, expected) << "F5 held";
    EXPECT_GT(tkOutput().count("press F5") - tkPressesBefore, 1)
        << "the focused window saw no auto-repeat, so the case proves nothing";

    // Left Super (hold) and Right Super overlapping: the Command flag stays
    // set, so neither release ends the recording...
    type("keydown 133 sleep 0.1 keydown 134 sleep 0.1 keyup 133 sleep 0.1 keyup 134", expect({"start", "rec.start"}));
    EXPECT_EQ(events, expected) << "Supers overlapping";
    // ...until Left Super is pressed and released on its own.
    type("keydown 133 sleep 0.1 keyup 133", expect({"rec.stop", "stop:clip-3.m4a"}));
    EXPECT_EQ(events, expected) << "Left Super again";

    // Caps Lock and a letter do nothing.
    type("key 66 sleep 0.1 key 66 key 38", expected.size());
    EXPECT_EQ(events, expected) << "Caps Lock, A";

    // The focused window received every key: nothing was taken from it.
    for (const char* seen : {"press F5", "release F5", "press Control_R", "press Super_L", "press Super_R"}) {
        EXPECT_TRUE(tkOutput().contains(seen)) << "the Tk window missed " << seen << "; it saw:\n"
                                               << tkOutput().toStdString();
    }
}

TEST_F(X11KeyEventSourceTest, ReleasesDuringAnotherClientsGrabOrAfterAltF4StillEndTheRecording)
{
    manager->start();
    showOtherWindow();

    // A window switcher grabs the keyboard while Right Alt is held.
    QProcess grabber;
    grabber.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kKeyboardGrabber)});
    ASSERT_TRUE(grabber.waitForStarted());
    type("keydown 108", 2);
    grabber.write("grab\n");
    ASSERT_TRUE(pumpUntil([&] { return grabber.canReadLine(); }, 5000));
    ASSERT_EQ(grabber.readLine().trimmed(), QByteArray("grab 0")) << "the keyboard grab failed";
    type("keyup 108", 4);
    grabber.write("ungrab\n");
    grabber.closeWriteChannel();
    grabber.waitForFinished();
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a")) << "released during a grab";

    // Alt+F4 makes the window manager close the focused window; a dictation
    // right afterwards works as ever.
    events.clear();
    type("keydown 64 key 70 keyup 64", 0);
    ASSERT_TRUE(pumpUntil([&] { return tk.state() == QProcess::NotRunning; }, 5000)) << "Alt+F4 closed nothing";
    type("keydown 108 sleep 0.3 keyup 108", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-2.m4a")) << "after Alt+F4";
}

TEST_F(X11KeyEventSourceTest, OwnKeystrokesAndShortcutsWithTheHeldKeyMakeNoDictation)
{
    // Ctrl+V and Return typed by Quillo itself, with Left Control bound to
    // paste-last and Return to the toggle: nothing happens.
    HotkeyStore(preferences).save({keycode::leftControl}, HotkeyAction::pasteLast);
    HotkeyStore(preferences).save({keycode::returnKey}, HotkeyAction::toggle);
    manager->start();
    showOtherWindow();
    XTestKeySynthesizer synthesizer(nullptr, &ownKeys);
    ASSERT_TRUE(synthesizer.isAvailable());
    synthesizer.pressPaste(PasteKeys::ctrlV);
    synthesizer.pressReturn();
    processEventsFor(300);
    EXPECT_THAT(events, IsEmpty()) << "our own keystrokes were taken for the user's";
    // The same keys from another program are the user's.
    type("key 37", 1);
    EXPECT_THAT(events, ElementsAre("paste")) << "Left Control typed by another program";

    // AltGr+Q (an @ on German keyboards) is a character, not a dictation: the
    // recording is thrown away. A plain hold afterwards works.
    events.clear();
    type("keydown 108 sleep 0.2 key 24 sleep 0.1 keyup 108", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.cancel", "cancel")) << "AltGr+Q";
    events.clear();
    type("keydown 108 sleep 0.3 keyup 108", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a")) << "a plain hold after it";
}

TEST_F(X11KeyEventSourceTest, KeysAnotherApplicationHasBoundStillReachTheManager)
{
    manager->start();
    showOtherWindow({QStringLiteral("71")});

    type("key 71 sleep 0.1 keydown 108 sleep 0.3 keyup 108", 5);
    EXPECT_THAT(events, ElementsAre("paste", "start", "rec.start", "rec.stop", "stop:clip-1.m4a"));
    EXPECT_FALSE(tkOutput().contains("press F5")) << "the other program's binding should have taken F5";
}

TEST_F(X11KeyEventSourceTest, KeysTypedIntoOurOwnWindowDriveTheManager)
{
    manager->start();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillo own window"));
    window.setGeometry(200, 150, 320, 200);
    window.show();
    window.activateWindow();
    processEventsFor(500);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed().toULongLong(),
              static_cast<qulonglong>(window.winId()));

    type("key 105 sleep 0.2 key 105", 4);
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a"));
}

TEST_F(X11KeyEventSourceTest, TheKeyCaptureOverlaySeesTheSideAndLeavesTheGlobalKeysWorking)
{
    manager->start();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillo capture window"));
    window.setGeometry(200, 150, 480, 320);
    window.show();
    window.activateWindow();
    processEventsFor(500);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed().toULongLong(),
              static_cast<qulonglong>(window.winId()));

    std::vector<std::pair<int, QString>> captured;
    auto open = [&] {
        auto overlay = std::make_unique<KeyCaptureOverlay>(&window);
        QObject::connect(overlay.get(), &KeyCaptureOverlay::captured, [&](int code, const QString& name) {
            captured.emplace_back(code, name);
        });
        processEventsFor(100);
        return overlay;
    };

    // Left Shift, then Right Shift, released in that order: only the last
    // release clears the Shift flag, and it is the right-hand key.
    auto overlay = open();
    type("keydown 50 sleep 0.1 keydown 62 sleep 0.1 keyup 50 sleep 0.1 keyup 62", 0);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].first, keycode::rightShift);

    // Right Control is bound to the toggle: the manager starts a recording
    // while the overlay reports the key, which is how the settings screen
    // comes to show its conflict message.
    overlay = open();
    type("key 105", 2);
    EXPECT_THAT(events, ElementsAre("start", "rec.start"));
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[1].first, keycode::rightControl);
    EXPECT_EQ(captured[1].second, QStringLiteral("Right Ctrl"));
}

TEST_F(X11KeyEventSourceTest, NothingArrivesOnceStoppedAndAllAgainOnceRestarted)
{
    manager->start();
    manager->stop();
    type("key 71", 0);
    EXPECT_THAT(events, IsEmpty()) << "stopped";

    manager->start();
    type("key 71", 1);
    EXPECT_THAT(events, ElementsAre("paste")) << "started again";
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
