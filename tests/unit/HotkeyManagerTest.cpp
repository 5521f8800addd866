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
#include "settings/Settings.h"

namespace quillo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::map<std::string, int> kKeys = [] {
    std::map<std::string, int> keys;
    std::istringstream in("rcmd=54 lcmd=55 lshift=56 caps=57 lopt=58 lctrl=59 rshift=60 ropt=61 rctrl=62 fn=63 "
                          "f5=96 f6=97 a=0");
    for (std::string entry; in >> entry;) {
        keys[entry.substr(0, entry.find('='))] = std::stoi(entry.substr(entry.find('=') + 1));
    }
    return keys;
}();

class HotkeyManagerTest : public ::testing::Test
{
protected:
    void startManager(std::vector<std::function<void()>>* deferred = nullptr)
    {
        auto recorder = std::make_unique<FakeRecorder>(events, deferred);
        manager = std::make_unique<HotkeyManager>(
            HotkeyManager::Dependencies{preferences, queue, log, permissions, alert, keys, std::move(recorder), [this] {
                                            ++settingsOpened;
                                        }});
        HotkeyControl::Callbacks callbacks;
        callbacks.onStartRecording = [this] { events.push_back("start"); };
        callbacks.onStopRecording = [this](const std::optional<std::string>& path) {
            events.push_back("stop=" + path.value_or("none"));
        };
        callbacks.onPasteLast = [this] { events.push_back("paste"); };
        callbacks.onCancelRecording = [this] { events.push_back("cancel"); };
        manager->setCallbacks(std::move(callbacks));
        manager->start();
        queue.drain();
    }

    // Plays space-separated steps, draining the main queue after each:
    // "+key" presses, "-key" releases, "rkey" auto-repeats, "off"/"on" switch
    // the manager, "hold=key,key" (also toggle=, paste=) rebinds an action,
    // "!start", "!stop", "!toggle", "!cancel" and "!paste" are commands.
    // Returns the steps, each followed by what it caused, if anything:
    // "+ropt:start,rec.start +f5:paste -f5 -ropt:rec.stop,stop=clip-1.m4a".
    // What follows a colon is ignored, so such a trace plays as its script.
    std::string play(const std::string& script)
    {
        std::string trace;
        std::istringstream in(script);
        for (std::string step; in >> step;) {
            step = step.substr(0, step.find(':'));
            events.clear();
            if (step[0] == '!') {
                const std::map<std::string, HotkeyControl::Command> commands = {
                    {"start", HotkeyControl::Command::start},
                    {"stop", HotkeyControl::Command::stop},
                    {"toggle", HotkeyControl::Command::toggle},
                    {"cancel", HotkeyControl::Command::cancel},
                    {"paste", HotkeyControl::Command::pasteLast}};
                manager->runCommand(commands.at(step.substr(1)));
            } else if (step == "off" || step == "on") {
                manager->setEnabled(step == "on");
            } else if (const auto eq = step.find('='); eq != std::string::npos) {
                const std::string action = step.substr(0, eq);
                const HotkeyAction which = action == "hold"     ? HotkeyAction::hold
                                           : action == "toggle" ? HotkeyAction::toggle
                                                                : HotkeyAction::pasteLast;
                std::vector<int> codes;
                std::istringstream names(step.substr(eq + 1));
                for (std::string name; std::getline(names, name, ',');) {
                    codes.push_back(kKeys.at(name));
                }
                HotkeyStore(preferences).save(codes, which);
            } else if (step[0] == '+') {
                keys.press(kKeys.at(step.substr(1)));
            } else if (step[0] == '-') {
                keys.release(kKeys.at(step.substr(1)));
            } else {
                keys.repeat(kKeys.at(step.substr(1)));
            }
            queue.drain();
            trace += (trace.empty() ? "" : " ") + step;
            for (std::size_t i = 0; i < events.size(); ++i) {
                trace += (i == 0 ? ":" : ",") + events[i];
            }
        }
        events.clear();
        return trace;
    }

    FakePreferences preferences;
    ManualMainQueue queue;
    RecordingLog log;
    FakePermissions permissions;
    FakeAlert alert;
    FakeKeyEventSource keys;
    std::unique_ptr<HotkeyManager> manager;
    std::vector<std::string> events;
    int settingsOpened = 0;
};

// A case is the trace play() must return for it. Default bindings: Right
// Option holds, Right Control toggles, F5 pastes.
struct DispatchCase
{
    const char* name;
    const char* trace;
    bool fnChannel = false;
};

const DispatchCase kDispatchCases[] = {
    {"auto-repeat of a held function key starts nothing more",
     "hold=f6 +f6:start,rec.start rf6 rf6 -f6:rec.stop,stop=clip-1.m4a"},
    {"the starting function key ends the recording even after it was unbound",
     "hold=f6 +f6:start,rec.start hold=ropt -f6:rec.stop,stop=clip-1.m4a +f6 -f6 +ropt:start,rec.start "
     "-ropt:rec.stop,stop=clip-2.m4a"},
    {"with both Commands down neither release ends the hold; the next press and release does",
     "hold=lcmd +lcmd:start,rec.start +rcmd -lcmd -rcmd +lcmd -lcmd:rec.stop,stop=clip-1.m4a"},
    {"a hold key released while another modifier is held still ends the recording",
     "+lshift +ropt:start,rec.start -ropt:rec.stop,stop=clip-1.m4a -lshift"},

    {"a hold key during a toggle recording does nothing",
     "+rctrl:start,rec.start -rctrl +ropt -ropt +rctrl:rec.stop,stop=clip-1.m4a"},

    // One key in several lists: paste-last, then hold, then toggle decide.
    {"a key bound to all three only pastes", "hold=f6 toggle=f6 paste=f6 +f6:paste -f6 +f6:paste"},
    {"a key bound to hold and toggle holds",
     "hold=rctrl toggle=rctrl +rctrl:start,rec.start -rctrl:rec.stop,stop=clip-1.m4a"},

    {"while disabled keys and commands do nothing and a release is lost; the hold ends on the next press and release",
     "+ropt:start,rec.start off -ropt +f5 -f5 !paste !toggle on +rctrl -rctrl +ropt -ropt:rec.stop,stop=clip-1.m4a"},

    // A bound key used as a modifier (AltGr+Q, Ctrl+C): the recording is thrown away.
    {"a key pressed while the hold key is down discards the recording; the next hold works",
     "+ropt:start,rec.start +a:rec.cancel,cancel -a -ropt +ropt:start,rec.start -ropt:rec.stop,stop=clip-1.m4a"},
    {"typing after the toggle key went up is dictation, not a shortcut",
     "+rctrl:start,rec.start -rctrl +a -a +lshift -lshift +rctrl:rec.stop,stop=clip-1.m4a"},
    {"bound keys and the held key's twin are no shortcut",
     "hold=ropt,f6 +ropt:start,rec.start +f5:paste rf5 -f5 +lopt +f6 -f6 -lopt -ropt:rec.stop,stop=clip-1.m4a"},

    {"a second start changes nothing; a key release cannot end a commanded hold, nor a stop a held key",
     "!start:start,rec.start !start +ropt -ropt !stop:rec.stop,stop=clip-1.m4a +ropt:start,rec.start !stop "
     "-ropt:rec.stop,stop=clip-2.m4a"},
    {"cancel discards whatever recording runs and nothing else",
     "!cancel +ropt:start,rec.start !cancel:rec.cancel,cancel -ropt"},

    {"Caps Lock does nothing whatever it is bound to",
     "hold=caps +caps -caps toggle=caps +caps -caps paste=caps +caps -caps"},

    {"Fn acts through its channel, once per press", "hold=fn +fn:start,rec.start -fn:rec.stop,stop=clip-1.m4a", true},
    {"Fn is inert without its channel", "hold=fn +fn -fn toggle=fn +fn -fn paste=fn +fn -fn"},
};

TEST_F(HotkeyManagerTest, DispatchesKeysToActions)
{
    for (const auto& c : kDispatchCases) {
        for (const char* key : {setting::holdKeys.key, setting::toggleKeys.key, setting::pasteLastKeys.key}) {
            preferences.removeObject(key);
        }
        keys.startAnswer.fnChannel = c.fnChannel ? std::optional<std::string>("hid") : std::nullopt;
        keys.forgetPressedKeys();
        startManager();
        EXPECT_EQ(play(c.trace), c.trace) << "case: " << c.name;
        manager.reset();
    }
}

TEST_F(HotkeyManagerTest, CallbacksRunFromTheMainQueueAndNeverOnceTheManagerIsGone)
{
    std::vector<std::function<void()>> lateCompletions;
    startManager(&lateCompletions);
    keys.press(keycode::rightOption);
    keys.press(keycode::f5);
    keys.release(keycode::rightOption);
    EXPECT_THAT(events, IsEmpty()) << "something ran inside a key event";
    queue.drain();
    EXPECT_THAT(events, ElementsAre("start", "rec.start", "paste", "rec.stop"));

    events.clear();
    keys.press(keycode::rightControl);
    keys.press(keycode::f5);
    manager.reset();
    EXPECT_FALSE(keys.isStarted()) << "the source must be stopped with the manager";
    queue.drain();
    ASSERT_EQ(lateCompletions.size(), 1u);
    lateCompletions.front()();
    EXPECT_THAT(events, IsEmpty()) << "queued work or a late recorder completion reached a callback";
}

TEST_F(HotkeyManagerTest, MissingPermissionAlertComesHalfASecondLaterAndOnlyItsFirstButtonOpensSettings)
{
    permissions.accessibilityTrusted = false;
    keys.startAnswer = {false, std::nullopt};
    // "Show Help", "Later", closing the alert; a manager gone by then shows nothing.
    for (const auto answer :
         {std::optional<std::size_t>(0), std::optional<std::size_t>(1), std::optional<std::size_t>()}) {
        alert.answer = answer;
        startManager();
        queue.advance(HotkeyManager::kAlertDelay - std::chrono::milliseconds(1));
        EXPECT_THAT(alert.shown, IsEmpty()) << "the alert came too early";
        queue.advance(std::chrono::milliseconds(1));
        ASSERT_EQ(alert.shown.size(), 1u);
        EXPECT_EQ(alert.shown[0].text, "Quillo cannot see its hotkeys in other apps.\n\nNo X11 session.");
        EXPECT_EQ(settingsOpened, 1) << "answer " << answer.value_or(99);
        alert.shown.clear();
    }
    startManager();
    manager.reset();
    queue.advance(std::chrono::seconds(1));
    EXPECT_THAT(alert.shown, IsEmpty());
}

} // namespace
} // namespace quillo::test
