#include "hotkeys/HotkeyManager.h"

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeAlert.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeKeyEventSource.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecorder.h"
#include "fakes/ManualMainQueue.h"
#include "fakes/RecordingLog.h"
#include "hotkeys/HotkeyStore.h"

namespace quillo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::map<std::string, int> kKeys = {
    {"rcmd", 54},
    {"lcmd", 55},
    {"lshift", 56},
    {"caps", 57},
    {"lopt", 58},
    {"lctrl", 59},
    {"rshift", 60},
    {"ropt", 61},
    {"rctrl", 62},
    {"fn", 63},
    {"f5", 96},
    {"f6", 97},
    {"f7", 98},
    {"a", 0},
};

int keyCode(const std::string& name)
{
    const auto found = kKeys.find(name);
    return found != kKeys.end() ? found->second : std::stoi(name);
}

std::vector<int> keyList(const std::string& names)
{
    std::vector<int> codes;
    std::istringstream in(names);
    for (std::string name; std::getline(in, name, ',');) {
        codes.push_back(keyCode(name));
    }
    return codes;
}

class HotkeyManagerTest : public ::testing::Test
{
protected:
    void makeManager()
    {
        auto recorder = std::make_unique<FakeRecorder>(events, deferMode ? &deferred : nullptr);
        recorderPtr = recorder.get();
        manager = std::make_unique<HotkeyManager>(HotkeyManager::Dependencies{
            preferences,
            queue,
            log,
            permissions,
            alert,
            keys,
            std::move(recorder),
            [this] { ++settingsOpened; },
        });
        HotkeyControl::Callbacks callbacks;
        callbacks.onStartRecording = [this] { events.push_back("start"); };
        callbacks.onStopRecording = [this](const std::optional<std::string>& path) {
            events.push_back("stop:" + path.value_or("none"));
        };
        callbacks.onPasteLast = [this] { events.push_back("paste"); };
        manager->setCallbacks(std::move(callbacks));
    }

    void startManager()
    {
        makeManager();
        manager->start();
        queue.drain();
    }

    // Plays a script of steps separated by spaces, draining the main queue
    // after each: "+key" presses, "-key" releases, "rkey" auto-repeats,
    // "off"/"on" switch the manager, "hold=key,key" (also toggle=, paste=)
    // rebinds an action in the preferences.
    void play(const std::string& script)
    {
        std::istringstream in(script);
        for (std::string step; in >> step;) {
            if (step == "off" || step == "on") {
                manager->setEnabled(step == "on");
            } else if (const auto eq = step.find('='); eq != std::string::npos) {
                const std::string action = step.substr(0, eq);
                const char* key = action == "hold"     ? HotkeyStore::holdKey
                                  : action == "toggle" ? HotkeyStore::toggleKey
                                                       : HotkeyStore::pasteLastKey;
                HotkeyStore(preferences).save(keyList(step.substr(eq + 1)), key);
            } else if (step[0] == '+') {
                keys.press(keyCode(step.substr(1)));
            } else if (step[0] == '-') {
                keys.release(keyCode(step.substr(1)));
            } else if (step[0] == 'r') {
                keys.repeat(keyCode(step.substr(1)));
            } else {
                ADD_FAILURE() << "bad step " << step;
            }
            queue.drain();
        }
    }

    FakePreferences preferences;
    ManualMainQueue queue;
    RecordingLog log;
    FakePermissions permissions;
    FakeAlert alert;
    FakeKeyEventSource keys;
    bool deferMode = false;
    std::vector<std::function<void()>> deferred;
    FakeRecorder* recorderPtr = nullptr;
    std::unique_ptr<HotkeyManager> manager;
    std::vector<std::string> events;
    int settingsOpened = 0;
};

struct DispatchCase
{
    const char* name;
    const char* script;
    std::vector<std::string> expected;
    bool fnChannel = false;
};

// Hold, toggle and paste-last, alone and mixed; default bindings are Right
// Option (hold), Right Control (toggle) and F5 (paste-last) unless a case
// rebinds them.
const std::vector<DispatchCase> kDispatchCases = {
    // Hold.
    {"hold key records from press to release", "+ropt -ropt", {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"each hold is its own recording",
     "+ropt -ropt +ropt -ropt",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a", "start", "rec.start", "rec.stop", "stop:clip-2.m4a"}},
    {"auto-repeat of a held function key starts nothing more",
     "hold=f6 +f6 rf6 rf6 rf6 -f6",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"releasing another hold key than the one that started does nothing",
     "hold=ropt,f6 +ropt +f6 -f6",
     {"start", "rec.start"}},
    {"... until the starting key is released",
     "hold=ropt,f6 +ropt +f6 -f6 -ropt",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a function hold key released under another modifier hold key does nothing",
     "hold=ropt,f6 +f6 +ropt -ropt",
     {"start", "rec.start"}},
    {"the release of the starting key ends the recording even after it was unbound",
     "hold=f6 +f6 hold=ropt -f6",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a second key of the hold key's family changes nothing while both are down",
     "hold=lcmd +lcmd +rcmd -lcmd",
     {"start", "rec.start"}},
    {"releasing both twins last-first leaves the hold recording running",
     "hold=lcmd +lcmd +rcmd -lcmd -rcmd",
     {"start", "rec.start"}},
    {"the stuck hold recording ends with the next press and release of its key",
     "hold=lcmd +lcmd +rcmd -lcmd -rcmd +lcmd -lcmd",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"releasing a hold key while its unbound twin is held does not end the recording",
     "hold=rshift +lshift +rshift -rshift -lshift",
     {"start", "rec.start"}},

    // Toggle.
    {"toggle key starts with one press and stops with the next",
     "+rctrl -rctrl +rctrl -rctrl",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a function toggle key counts key-downs only",
     "toggle=f7 +f7 -f7 +f7 rf7 -f7",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"any toggle key stops what another toggle key started",
     "toggle=rctrl,f7 +rctrl -rctrl +f7 -f7",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a hold key during a toggle recording does nothing", "+rctrl -rctrl +ropt -ropt", {"start", "rec.start"}},
    {"... and the toggle key still ends it",
     "+rctrl -rctrl +ropt -ropt +rctrl -rctrl",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a toggle key during a hold recording does nothing",
     "+ropt +rctrl -rctrl -ropt",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a released toggle key whose twin is held reads as another press",
     "+lctrl +rctrl -rctrl",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a function key release cannot end a toggle recording",
     "toggle=f7 hold=f6 +f7 -f7 +f6 -f6",
     {"start", "rec.start"}},

    // Paste-last.
    {"paste-last key pastes on press only", "+f5 -f5", {"paste"}},
    {"paste-last ignores auto-repeat", "+f5 rf5 rf5 -f5", {"paste"}},
    {"paste-last on a modifier pastes on press only", "paste=rshift +rshift -rshift", {"paste"}},
    {"paste-last during a hold recording leaves it running",
     "+ropt +f5 -f5 -ropt",
     {"start", "rec.start", "paste", "rec.stop", "stop:clip-1.m4a"}},
    {"paste-last during a toggle recording leaves it running",
     "+rctrl -rctrl +f5 -f5 +rctrl -rctrl",
     {"start", "rec.start", "paste", "rec.stop", "stop:clip-1.m4a"}},

    // One key in several lists: paste-last, then hold, then toggle decide.
    {"a key bound to paste-last and hold only pastes", "hold=ropt paste=ropt +ropt -ropt", {"paste"}},
    {"a key bound to all three only pastes", "hold=f6 toggle=f6 paste=f6 +f6 -f6 +f6 -f6", {"paste", "paste"}},
    {"a key bound to hold and toggle holds",
     "hold=rctrl toggle=rctrl +rctrl -rctrl",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},

    // On/off switch.
    {"a disabled manager ignores every bound key", "off +ropt -ropt +rctrl -rctrl +f5 -f5", {}},
    {"disabling does not end a toggle recording", "+rctrl -rctrl off", {"start", "rec.start"}},
    {"a release while disabled is lost and the hold state stays",
     "+ropt off -ropt on +rctrl -rctrl",
     {"start", "rec.start"}},
    {"after re-enabling, pressing and releasing the hold key again ends it",
     "+ropt off -ropt on +ropt -ropt",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"}},
    {"a toggle press while disabled is lost", "+rctrl -rctrl off +rctrl on", {"start", "rec.start"}},

    // Keys that never trigger.
    {"Caps Lock bound to every action does nothing", "hold=caps +caps -caps toggle=caps +caps -caps", {}},
    {"Caps Lock as paste-last does nothing", "paste=caps +caps -caps", {}},
    {"keys in no list do nothing", "+a -a +lopt -lopt +f7 -f7", {}},
    {"an edit of the bindings applies from the next press",
     "+ropt -ropt hold=lopt +ropt -ropt +lopt -lopt",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a", "start", "rec.start", "rec.stop", "stop:clip-2.m4a"}},

    // Fn: only its own channel counts.
    {"Fn acts through its channel, once per press",
     "hold=fn +fn -fn",
     {"start", "rec.start", "rec.stop", "stop:clip-1.m4a"},
     true},
    {"Fn is inert without its channel", "hold=fn +fn -fn toggle=fn +fn -fn paste=fn +fn -fn", {}},
};

TEST_F(HotkeyManagerTest, DispatchesKeysToActions)
{
    for (const auto& c : kDispatchCases) {
        SCOPED_TRACE(c.name);
        preferences.removeObject(HotkeyStore::holdKey);
        preferences.removeObject(HotkeyStore::toggleKey);
        preferences.removeObject(HotkeyStore::pasteLastKey);
        keys.startAnswer.fnChannel = c.fnChannel ? std::optional<std::string>("hid") : std::nullopt;
        events.clear();
        keys.forgetPressedKeys();
        startManager();

        play(c.script);

        EXPECT_EQ(events, c.expected) << "case: " << c.name << " (" << c.script << ")";
        manager.reset();
    }
}

TEST_F(HotkeyManagerTest, StopReportsNoFileWhenTheRecorderMadeNone)
{
    startManager();
    recorderPtr->failing = true;
    play("+ropt -ropt");
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:none"));
}

TEST_F(HotkeyManagerTest, CallbacksRunFromTheMainQueueNeverInsideTheKeyEvent)
{
    startManager();
    keys.press(keycode::rightOption);
    keys.press(keycode::f5);
    keys.release(keycode::rightOption);
    EXPECT_THAT(events, IsEmpty()) << "something ran inside a key event";
    queue.drain();
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "paste", "rec.stop", "stop:clip-1.m4a"));
}

TEST_F(HotkeyManagerTest, QueuedWorkOfADestroyedManagerDoesNothing)
{
    startManager();
    keys.press(keycode::rightControl);
    keys.press(keycode::f5);
    manager.reset();

    EXPECT_EQ(keys.stopCount, 1) << "the source must be stopped with the manager";
    EXPECT_FALSE(keys.isStarted());
    queue.drain();
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(HotkeyManagerTest, ALateRecorderCompletionAfterTheManagerIsGoneIsDropped)
{
    deferMode = true;
    startManager();
    play("+ropt -ropt");
    ASSERT_EQ(deferred.size(), 1u);
    manager.reset();
    deferred.front()();
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop"));
}

TEST_F(HotkeyManagerTest, RecordingWorksWithoutCallbacks)
{
    makeManager();
    manager->setCallbacks({});
    manager->start();
    play("+ropt -ropt +f5");
    EXPECT_THAT(events, ElementsAre("rec.start", "rec.stop"));
}

TEST_F(HotkeyManagerTest, NothingIsWatchedBeforeStartOrAfterStop)
{
    makeManager();
    EXPECT_EQ(keys.startCount, 0);
    manager->start();
    manager->stop();
    play("+ropt -ropt");
    EXPECT_THAT(events, IsEmpty());
    EXPECT_FALSE(keys.isStarted());
}

struct StartCase
{
    const char* name;
    bool trusted;
    bool watching;
    std::optional<std::string> fnChannel;
    std::vector<std::string> lines;
};

TEST_F(HotkeyManagerTest, StartUpLogsPermissionKeyWatchingAndFnChannel)
{
    const std::vector<StartCase> cases = {
        {"all there, no Fn channel (X11)",
         true,
         true,
         std::nullopt,
         {"[Quillo] AXIsProcessTrusted = true", "[Quillo] Fn tap created: FAILED"}},
        {"Fn channel at the HID level",
         true,
         true,
         "hid",
         {"[Quillo] AXIsProcessTrusted = true", "[Quillo] Fn tap created: hid"}},
        {"no permission, keys not watched",
         false,
         false,
         std::nullopt,
         {"[Quillo] AXIsProcessTrusted = false \u2014 showing alert",
          "[Quillo] global flagsChanged monitor is nil \u2014 Accessibility permission missing",
          "[Quillo] Fn tap created: FAILED"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLog caseLog;
        permissions.accessibilityTrusted = c.trusted;
        keys.startAnswer = {c.watching, c.fnChannel};
        std::vector<std::string> none;
        HotkeyManager m(
            {preferences, queue, caseLog, permissions, alert, keys, std::make_unique<FakeRecorder>(none), {}});
        m.start();
        EXPECT_EQ(caseLog.lines(), c.lines) << "case: " << c.name;
        queue.advance(std::chrono::seconds(1));
        EXPECT_EQ(alert.shown.size(), c.trusted ? 0u : 1u) << "case: " << c.name;
        alert.shown.clear();
    }
}

TEST_F(HotkeyManagerTest, MissingPermissionAlertComesHalfASecondLaterAndCanOpenSettings)
{
    permissions.accessibilityTrusted = false;
    alert.answer = 0;
    startManager();

    queue.advance(std::chrono::milliseconds(499));
    EXPECT_THAT(alert.shown, IsEmpty()) << "the alert came too early";
    queue.advance(std::chrono::milliseconds(1));
    ASSERT_EQ(alert.shown.size(), 1u);
    const Alert::Content& shown = alert.shown.front();
    EXPECT_EQ(shown.style, Alert::Style::warning);
    EXPECT_EQ(shown.title, "Accessibility Permission Required");
    EXPECT_EQ(shown.text,
              "Quillo needs Accessibility access to detect hotkeys in other apps.\n\nOpen System Settings \u2192 "
              "Privacy & Security \u2192 Accessibility, add Quillo, then relaunch.");
    EXPECT_THAT(shown.buttons, ElementsAre("Open System Settings", "Later"));
    EXPECT_EQ(settingsOpened, 1);

    // Keys are still handled while the permission is missing: the source decides what it can see.
    play("+ropt -ropt");
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "rec.stop", "stop:clip-1.m4a"));
}

TEST_F(HotkeyManagerTest, LaterOrClosingTheAlertOpensNothing)
{
    for (const std::optional<std::size_t> answer : {std::optional<std::size_t>(1), std::optional<std::size_t>()}) {
        permissions.accessibilityTrusted = false;
        alert.answer = answer;
        startManager();
        queue.advance(HotkeyManager::kAlertDelay);
        EXPECT_EQ(alert.shown.size(), 1u);
        EXPECT_EQ(settingsOpened, 0) << "answer " << answer.value_or(99);
        alert.shown.clear();
    }
}

TEST_F(HotkeyManagerTest, NoAlertOnceTheManagerIsGone)
{
    permissions.accessibilityTrusted = false;
    startManager();
    manager.reset();
    queue.advance(std::chrono::seconds(1));
    EXPECT_THAT(alert.shown, IsEmpty());
}

} // namespace
} // namespace quillo::test
