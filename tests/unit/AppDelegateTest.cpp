#include "dictation/AppDelegate.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "base/DictationEntry.h"
#include "base/NotificationCenter.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeDictationParts.h"
#include "fakes/FakePreferences.h"
#include "fakes/ManualExecutor.h"
#include "fakes/ManualMainQueue.h"
#include "fakes/RecordingLog.h"
#include "store/DataStore.h"
#include "store/KeptDictations.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        workspace.front = FrontApplication{"org.example.Editor", "Editor"};
        delegate = launch(permissions);
        // After the launch, which would keep them as left over by a crash.
        disk.put("/rec/clip_1.m4a", "audio-1");
        disk.put("/rec/clip_2.m4a", "audio-2");
    }

    std::shared_ptr<AppDelegate> launch(Permissions& granted)
    {
        auto launched = std::make_shared<AppDelegate>(AppDelegate::Dependencies{
            preferences,
            mainQueue,
            executor,
            clock,
            disk,
            notifier,
            workspace,
            statusItem,
            granted,
            windowHost,
            notificationCenter,
            transcriber,
            history,
            kept,
            paster,
            streamers,
            "/rec",
            [this] {
                auto manager = std::make_unique<FakeHotkeyControl>();
                hotkeys = manager.get();
                return manager;
            },
            [this] { return std::make_unique<FakeRecordingIndicator>(indicatorEvents); },
            [] {},
        });
        launched->applicationDidFinishLaunching();
        return launched;
    }

    // One full hold-speak-release through the hotkey callbacks, as the user
    // would produce it, without running the background task yet.
    void record(const std::optional<std::string>& path, std::chrono::milliseconds length = 1500ms)
    {
        hotkeys->callbacks.onStartRecording();
        mainQueue.drain();
        clock.advance(length);
        hotkeys->callbacks.onStopRecording(path);
        mainQueue.drain();
    }

    // The history in the order the dictations were made.
    std::vector<DictationEntry> entries() const
    {
        auto list = history.history();
        std::reverse(list.begin(), list.end());
        return list;
    }

    // Runs background work and the main-thread hops it posts until all is quiet.
    void settle()
    {
        while (executor.drain() + mainQueue.drain() > 0) {
        }
    }

    FakePreferences preferences;
    FakeFileSystem& disk = preferences.disk();
    ManualMainQueue mainQueue;
    ManualExecutor executor;
    FakeClock clock;
    FakeNotifier notifier;
    FakeWorkspace workspace;
    FakeStatusItem statusItem;
    FakePermissions permissions;
    FakeMainWindowHost windowHost;
    NotificationCenter notificationCenter;
    FakeTranscriber transcriber;
    RecordingLog log;
    DataStore history{disk, preferences, log, clock, "/data/Quillo"};
    KeptDictationStore kept{disk, log, clock, "/data/Quillo/kept"};
    FakePaster paster;
    FakeLiveStreamerFactory streamers;
    FakeHotkeyControl* hotkeys = nullptr;
    std::vector<std::string> indicatorEvents;
    std::shared_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, DictationStoresPastesAndDeletesTheRecordingLastAndAnEmptyOneChangesNothing)
{
    transcriber.willReturn({"Hello there.", true});
    record("/rec/clip_1.m4a", 2500ms);

    EXPECT_EQ(statusItem.currentSymbol(), "ellipsis.circle");
    EXPECT_EQ(indicatorEvents, (std::vector<std::string>{"show", "hide"}));

    executor.drain(); // the background task: transcription and history
    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(entries()[0].text(), "Hello there.");
    EXPECT_DOUBLE_EQ(entries()[0].duration(), 2.5);
    EXPECT_EQ(entries()[0].appBundleID(), "org.example.Editor");
    EXPECT_EQ(entries()[0].appName(), "Editor");
    EXPECT_TRUE(paster.pastes.empty()) << "the paste belongs to the main thread";
    EXPECT_TRUE(disk.exists("/rec/clip_1.m4a"));

    mainQueue.drain();
    EXPECT_EQ(paster.pastes, (std::vector<std::pair<std::string, bool>>{{"Hello there.", true}}));
    EXPECT_EQ(statusItem.currentSymbol(), "mic");
    EXPECT_EQ(delegate->lastPastedText(), "Hello there.");
    EXPECT_TRUE(disk.exists("/rec/clip_1.m4a")) << "deleted only after the main-thread work";

    settle();
    EXPECT_FALSE(disk.exists("/rec/clip_1.m4a"));

    // An empty result leaves everything as it was but the recording.
    transcriber.willReturn({"", false});
    record("/rec/clip_2.m4a");
    settle();
    EXPECT_EQ(entries().size(), 1u);
    EXPECT_EQ(paster.pastes.size(), 1u);
    EXPECT_EQ(delegate->lastPastedText(), "Hello there.");
    EXPECT_FALSE(disk.exists("/rec/clip_2.m4a"));
    EXPECT_TRUE(notifier.sent.empty());
}

TEST_F(AppDelegateTest, SnippetExpansionIsPastedButHistoryKeepsWhatWasSaid)
{
    hotkeys->callbacks.onPasteLast();
    EXPECT_TRUE(paster.pastes.empty()) << "nothing to paste before a success";

    history.addSnippet("my address", "1 Long Road, Springfield");
    transcriber.willReturn({"my address", true});
    record("/rec/clip_1.m4a");
    settle();
    transcriber.willThrow(DictationError::network());
    record("/rec/clip_2.m4a");
    settle();

    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(entries()[0].text(), "my address");
    EXPECT_EQ(paster.pastes.back(), (std::pair<std::string, bool>{"1 Long Road, Springfield", true}));

    hotkeys->callbacks.onPasteLast(); // runs at once: no main-queue hop
    ASSERT_EQ(paster.pastes.size(), 2u);
    EXPECT_EQ(paster.pastes.back(), (std::pair<std::string, bool>{"1 Long Road, Springfield", false}))
        << "paste-last pastes the expansion, never presses Return, and outlives a failure";
}

// The texts of each error kind are the errors' own business; here both paths:
// a dictation error and any other failure.
TEST_F(AppDelegateTest, FailedDictationsAreKeptAndTheRetryButtonCompletesThem)
{
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        std::string error;
        bool buttons;
    };
    const std::vector<Case> cases = {
        {"auth",
         [&] { transcriber.willThrow(DictationError::auth(DictationError::Service::openAI)); },
         "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.",
         true},
        {"unreadable, no buttons",
         [&] { transcriber.willThrow(FileReadError("The recording could not be read.")); },
         "The recording could not be read.",
         false},
    };
    for (const auto& c : cases) {
        notifier.sent.clear();
        notifier.actions.clear();
        notifier.actionsShown = c.buttons;
        disk.put("/rec/clip_1.m4a", "audio");
        c.arrange();
        record("/rec/clip_1.m4a", 2500ms);
        settle();
        ASSERT_EQ(notifier.sent.size(), 1u) << "case " << c.name;
        EXPECT_EQ(notifier.sent[0],
                  (std::pair<std::string, std::string>{
                      "Quillo Error",
                      c.error + (c.buttons ? " The dictation was kept: press Retry, or retry it later "
                                             "from History."
                                           : " The dictation was kept: retry it from History.")}))
            << "case " << c.name;
        EXPECT_TRUE(entries().empty()) << "case " << c.name;
        EXPECT_FALSE(disk.exists("/rec/clip_1.m4a")) << "case " << c.name;
        EXPECT_FALSE(disk.exists("/rec/clip_1.m4a.json")) << "case " << c.name << ": no processing note is left";

        const auto pending = kept.list();
        ASSERT_EQ(pending.size(), 1u) << "case " << c.name;
        EXPECT_EQ(pending[0].error, c.error) << "case " << c.name;
        EXPECT_EQ(disk.file(pending[0].audioPath)->contents, "audio") << "case " << c.name;
        EXPECT_EQ(notifier.actions.size(), c.buttons ? 1u : 0u) << "case " << c.name;

        // A retry that fails again keeps it with the new error; one that works
        // copies the text and files it under the dictation's own time.
        transcriber.willThrow(DictationError::network());
        delegate->retryKept(pending[0].id);
        settle();
        EXPECT_EQ(kept.list().at(0).error, "No internet connection.") << "case " << c.name;
        transcriber.willReturn({"Kept words.", true});
        if (c.buttons) {
            ASSERT_EQ(notifier.actions.size(), 2u) << "case " << c.name;
            EXPECT_EQ(notifier.actions.back().first, "Retry") << "case " << c.name;
            notifier.actions.back().second();
        } else {
            delegate->retryKept(pending[0].id);
        }
        settle();
        ASSERT_EQ(entries().size(), 1u) << "case " << c.name;
        EXPECT_EQ(entries()[0].text(), "Kept words.") << "case " << c.name;
        EXPECT_EQ(entries()[0].date(), pending[0].date) << "case " << c.name;
        EXPECT_EQ(paster.copies, std::vector<std::string>{"Kept words."}) << "case " << c.name;
        EXPECT_TRUE(paster.pastes.empty()) << "case " << c.name << ": the cursor is elsewhere by now";
        EXPECT_EQ(notifier.sent.back().first, "Dictation Transcribed") << "case " << c.name;
        EXPECT_TRUE(kept.list().empty()) << "case " << c.name;
        EXPECT_FALSE(disk.exists(pending[0].audioPath)) << "case " << c.name;
        history.clearHistory();
        paster.copies.clear();
    }
}

TEST_F(AppDelegateTest, CrashLeftoversAreKeptAtLaunchAndQuittingKeepsWhatIsStillProcessing)
{
    // Quitting while a dictation waits on the network.
    transcriber.willReturn({"Too late.", false});
    record("/rec/clip_1.m4a", 2000ms);
    EXPECT_TRUE(delegate->isBusy());
    EXPECT_EQ(delegate->keepUnfinishedDictations(), 1u);
    settle(); // the task ends after all
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(paster.pastes.empty());
    ASSERT_EQ(kept.list().size(), 1u);
    EXPECT_EQ(kept.list()[0].error, AppDelegate::kQuitError);
    EXPECT_EQ(kept.list()[0].duration, 2.0);

    // Processing leaves a note beside the recording while it runs. (The kept
    // dictation never asked for its text: its scripted answer goes unused.)
    transcriber.outcomes.clear();
    bool notedWhileProcessing = false;
    transcriber.outcomes.push_back([&]() -> DictationResult {
        notedWhileProcessing = disk.exists("/rec/clip_2.m4a.json");
        return {"Done.", false};
    });
    record("/rec/clip_2.m4a");
    settle();
    EXPECT_TRUE(notedWhileProcessing);
    EXPECT_FALSE(disk.exists("/rec/clip_2.m4a.json"));

    // What a kill leaves behind: a recording with its note, one without.
    KeptDictation noted;
    noted.date = 100;
    noted.duration = 3.0;
    noted.appName = "Terminal";
    disk.put("/rec/clip_9.m4a", "killed while processing");
    kept.noteProcessing("/rec/clip_9.m4a", noted);
    disk.put("/rec/clip_1765000000.5.m4a", "killed while recording");
    delegate.reset();
    notifier.sent.clear();

    const auto relaunched = launch(permissions);
    EXPECT_EQ(notifier.sent.back().first, "Dictation Not Transcribed");
    const auto pending = kept.list();
    ASSERT_EQ(pending.size(), 3u);
    EXPECT_EQ(pending[0].appName, "Terminal") << "the note tells what the recording alone cannot";
    EXPECT_EQ(pending[0].duration, 3.0);
    EXPECT_EQ(pending[0].error, AppDelegate::kInterruptedError);
    EXPECT_EQ(pending[1].date, 1765000000.5 - kReferenceDateUnixSeconds) << "the time in its name";
    EXPECT_TRUE(disk.listFiles("/rec").empty());
}

TEST_F(AppDelegateTest, ACancelledRecordingIsDroppedSilentlyAndAFailedOneKeepsTheStreamedWords)
{
    streamers.nextTranscript = "never used";
    hotkeys->callbacks.onStartRecording();
    mainQueue.drain();
    hotkeys->callbacks.onCancelRecording();
    mainQueue.drain();
    ASSERT_EQ(streamers.created.size(), 1u);
    EXPECT_EQ(streamers.created[0]->cancelCount, 1);
    EXPECT_EQ(streamers.created[0]->finishCount, 0);
    EXPECT_EQ(statusItem.currentSymbol(), "mic");
    EXPECT_EQ(indicatorEvents, (std::vector<std::string>{"show", "hide"}));
    EXPECT_EQ(executor.pendingCount(), 0u);

    // The recorder failed (and said why), but the live stream heard the
    // words. The stream went by the languages at the start; the transcription
    // reads them again.
    streamers.nextTranscript = "streamed words";
    transcriber.willReturn({"Streamed words.", false});
    hotkeys->callbacks.onStartRecording();
    mainQueue.drain();
    preferences.setObject("enabledLanguages", std::vector<std::string>{"de", "en"});
    hotkeys->callbacks.onStopRecording(std::nullopt);
    settle();
    EXPECT_EQ(streamers.askedWith.back(), LanguageSet{"en"});
    ASSERT_EQ(transcriber.calls.size(), 1u);
    EXPECT_EQ(transcriber.calls[0].audioPath, "");
    EXPECT_EQ(transcriber.calls[0].streamedTranscript, "streamed words");
    EXPECT_EQ(transcriber.calls[0].languages, (LanguageSet{"de", "en"}));
    EXPECT_EQ(paster.pastes, (std::vector<std::pair<std::string, bool>>{{"Streamed words.", false}}));

    // Neither a file nor streamed words: nothing to do.
    streamers.nextTranscript.reset();
    record(std::nullopt);
    settle();
    EXPECT_EQ(transcriber.calls.size(), 1u);
    EXPECT_EQ(statusItem.currentSymbol(), "mic");
    EXPECT_TRUE(notifier.sent.empty());
}

TEST_F(AppDelegateTest, WithoutAStartOrAFrontApplicationTheEntryNamesNoApplication)
{
    transcriber.willReturn({"orphan", false});
    hotkeys->callbacks.onStopRecording(std::string("/rec/clip_1.m4a")); // stop without start
    settle();
    workspace.front.reset();
    transcriber.willReturn({"hello", false});
    record("/rec/clip_2.m4a");
    settle();
    ASSERT_EQ(entries().size(), 2u);
    EXPECT_EQ(entries()[0].duration(), 0.0);
    for (const auto& entry : entries()) {
        EXPECT_FALSE(entry.appBundleID()) << entry.text();
        EXPECT_FALSE(entry.appName()) << entry.text();
    }
}

TEST_F(AppDelegateTest, OverlappingDictationsKeepTheirOwnValuesAndTheIconTellsTheTruth)
{
    transcriber.willReturn({"first", false});
    transcriber.willReturn({"second", false});

    record("/rec/clip_1.m4a", 1000ms); // first one now processing
    workspace.front = FrontApplication{"org.example.Mail", "Mail"};
    hotkeys->callbacks.onStartRecording();
    mainQueue.drain();
    EXPECT_EQ(statusItem.currentSymbol(), "mic.fill");

    // The first dictation ends while the second still records: the icon must
    // keep saying "recording".
    settle();
    EXPECT_EQ(paster.pastes.size(), 1u);
    EXPECT_EQ(statusItem.currentSymbol(), "mic.fill");

    clock.advance(3000ms);
    hotkeys->callbacks.onStopRecording(std::string("/rec/clip_2.m4a"));
    mainQueue.drain();
    EXPECT_EQ(statusItem.currentSymbol(), "ellipsis.circle");
    settle();
    EXPECT_EQ(statusItem.currentSymbol(), "mic");

    ASSERT_EQ(entries().size(), 2u);
    EXPECT_EQ(entries()[1].text(), "second");
    EXPECT_DOUBLE_EQ(entries()[1].duration(), 3.0);
    EXPECT_EQ(entries()[1].appName(), "Mail");
}

TEST_F(AppDelegateTest, StateChangesAreAnnouncedAndSwitchingOffRefusesCommandsButLetsProcessingFinish)
{
    std::vector<std::string> states;
    delegate->setStateObserver(
        [&states](AppDelegate::IconState state) { states.emplace_back(AppDelegate::stateName(state)); });
    using Command = HotkeyControl::Command;

    EXPECT_TRUE(delegate->runCommand(Command::pasteLast).has_value()) << "nothing to paste yet";
    EXPECT_EQ(delegate->runCommand(Command::start), std::nullopt);
    transcriber.willReturn({"Commanded.", false});
    record("/rec/clip_1.m4a");
    settle();
    EXPECT_EQ(states, (std::vector<std::string>{"recording", "processing", "idle"}));
    EXPECT_EQ(delegate->runCommand(Command::pasteLast), std::nullopt);

    transcriber.willReturn({"late", false});
    record("/rec/clip_2.m4a");
    delegate->toggleDictation();
    EXPECT_FALSE(hotkeys->enabled);
    EXPECT_EQ(statusItem.toggleTitle, "Dictation: OFF");
    const auto refusal = delegate->runCommand(Command::toggle);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->find("switched off"), std::string::npos) << *refusal;
    settle();
    EXPECT_EQ(statusItem.currentSymbol(), "mic.slash");
    EXPECT_EQ(paster.pastes.size(), 2u);

    delegate->toggleDictation();
    EXPECT_TRUE(hotkeys->enabled);
    EXPECT_EQ(statusItem.currentSymbol(), "mic");
}

TEST_F(AppDelegateTest, PermissionMicrophoneAndPasteProblemsAreNotifiedOnce)
{
    permissions.microphoneCompletion(false);
    EXPECT_TRUE(notifier.sent.empty()) << "the denial hops to the main queue first";
    mainQueue.drain();
    permissions.microphoneCompletion(true);
    mainQueue.drain();

    preferences.setObject("selectedMicUID", "usb-mic");
    notificationCenter.post(AppDelegate::kMicFallbackNotification);
    EXPECT_EQ(preferences.stringForKey("selectedMicUID"), "usb-mic") << "kept, for when it is plugged back in";

    ASSERT_TRUE(paster.reportHandler);
    for (const DeliveryOutcome outcome : {DeliveryOutcome::delivered, DeliveryOutcome::unverified}) {
        paster.reportHandler({"lxterminal", "Lxterminal", PasteMethod::ctrlShiftV, outcome});
    }
    paster.reportHandler({"gedit", "Gedit", PasteMethod::ctrlV, DeliveryOutcome::notDelivered});

    FakePermissions untrusted;
    untrusted.accessibilityTrusted = false;
    disk.removeFile("/rec/clip_1.m4a");
    disk.removeFile("/rec/clip_2.m4a");
    const auto other = launch(untrusted);
    FakePermissions limited; // a Wayland session: keys of X11 applications only
    limited.advice = "Only in part.";
    const auto third = launch(limited);

    std::vector<std::string> titles;
    for (const auto& [title, body] : notifier.sent) {
        titles.push_back(title);
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{"No Audio Server",
                                        "Microphone Unavailable",
                                        "Dictation Not Pasted",
                                        "Hotkeys Unavailable",
                                        "Hotkeys Limited"}));
    EXPECT_EQ(notifier.sent[2].second.rfind("Couldn't paste into Gedit.", 0), 0u) << notifier.sent[2].second;
    EXPECT_EQ(notifier.sent[4].second, "Only in part.") << "the session's own advice";
}

TEST_F(AppDelegateTest, QueuedCallbacksDoNothingOnceTheDelegateIsGone)
{
    transcriber.willReturn({"orphaned", false});
    record("/rec/clip_1.m4a");
    executor.drain();
    hotkeys->callbacks.onStartRecording();
    auto callbacks = hotkeys->callbacks; // the manager dies with the delegate
    delegate.reset();

    settle();
    callbacks.onPasteLast();
    EXPECT_TRUE(paster.pastes.empty());
    EXPECT_FALSE(disk.exists("/rec/clip_1.m4a")) << "the recording is deleted even so";
}

} // namespace
} // namespace quillo::test
