#include "dictation/AppDelegate.h"

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
        delegate = std::make_shared<AppDelegate>(AppDelegate::Dependencies{
            preferences,
            mainQueue,
            executor,
            clock,
            disk,
            notifier,
            workspace,
            statusItem,
            permissions,
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
        delegate->applicationDidFinishLaunching();
        // After the launch, which would keep them as crash leftovers.
        disk.put("/rec/clip_1.m4a", "audio-1");
        disk.put("/rec/clip_2.m4a", "audio-2");
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

TEST_F(AppDelegateTest, SnippetExpansionIsPastedButHistoryKeepsWhatWasSaid)
{
    history.addSnippet("my address", "1 Long Road, Springfield");
    transcriber.willReturn({"my address", true});
    record("/rec/clip_1.m4a");
    settle();
    transcriber.willThrow(DictationError::network());
    record("/rec/clip_2.m4a");
    settle();

    ASSERT_EQ(history.history().size(), 1u);
    EXPECT_EQ(history.history()[0].text(), "my address");
    EXPECT_EQ(paster.pastes.back(), (std::pair<std::string, bool>{"1 Long Road, Springfield", true}));

    hotkeys->callbacks.onPasteLast();
    ASSERT_EQ(paster.pastes.size(), 2u);
    EXPECT_EQ(paster.pastes.back(), (std::pair<std::string, bool>{"1 Long Road, Springfield", false}))
        << "paste-last pastes the expansion, never presses Return, and outlives a failure";
}

TEST_F(AppDelegateTest, AFailedDictationIsKeptAndTheRetryButtonCompletesIt)
{
    notifier.actionsShown = true;
    transcriber.willThrow(DictationError::auth(DictationError::Service::openAI));
    record("/rec/clip_1.m4a", 2500ms);
    settle();
    ASSERT_EQ(notifier.sent.size(), 1u);
    EXPECT_EQ(notifier.sent[0].first, "Quillo Error");
    EXPECT_TRUE(history.history().empty());
    EXPECT_FALSE(disk.exists("/rec/clip_1.m4a"));
    const auto pending = kept.list();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(disk.file(pending[0].audioPath)->contents, "audio-1");

    // A retry that fails again keeps it with the new error; one that works
    // copies the text and files it under the dictation's own time.
    transcriber.willThrow(DictationError::network());
    delegate->retryKept(pending[0].id);
    settle();
    EXPECT_EQ(kept.list().at(0).error, "No internet connection.");
    transcriber.willReturn({"Kept words.", true});
    ASSERT_EQ(notifier.actions.size(), 2u);
    notifier.actions.back().second();
    settle();
    ASSERT_EQ(history.history().size(), 1u);
    EXPECT_EQ(history.history()[0].date(), pending[0].date);
    EXPECT_EQ(paster.copies, std::vector<std::string>{"Kept words."});
    EXPECT_TRUE(paster.pastes.empty()) << "the cursor is elsewhere by now";
    EXPECT_TRUE(kept.list().empty());
    EXPECT_FALSE(disk.exists(pending[0].audioPath));
}

// The recorder failed, but the live stream heard the words, with the languages
// as they were at the start; the transcription reads them again.
TEST_F(AppDelegateTest, AFailedRecordingKeepsTheStreamedWords)
{
    streamers.nextTranscript = "streamed words";
    transcriber.willReturn({"Streamed words.", false});
    hotkeys->callbacks.onStartRecording();
    mainQueue.drain();
    preferences.setObject("enabledLanguages", std::vector<std::string>{"de", "en"});
    hotkeys->callbacks.onStopRecording(std::nullopt);
    settle();
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

TEST_F(AppDelegateTest, AMissingAudioServerOrMicrophoneIsNotified)
{
    permissions.microphoneCompletion(false);
    mainQueue.drain();
    preferences.setObject("selectedMicUID", "usb-mic");
    notificationCenter.post(AppDelegate::kMicFallbackNotification);
    EXPECT_EQ(preferences.stringForKey("selectedMicUID"), "usb-mic") << "kept, for when it is plugged back in";
    ASSERT_EQ(notifier.sent.size(), 2u);
    EXPECT_EQ(notifier.sent[0].first, "No Audio Server");
    EXPECT_EQ(notifier.sent[1].first, "Microphone Unavailable");
}

TEST_F(AppDelegateTest, QueuedCallbacksDoNothingOnceTheDelegateIsGone)
{
    transcriber.willReturn({"orphaned", false});
    record("/rec/clip_1.m4a");
    executor.drain();
    auto callbacks = hotkeys->callbacks; // the manager dies with the delegate
    delegate.reset();

    settle();
    callbacks.onPasteLast();
    EXPECT_TRUE(paster.pastes.empty());
    EXPECT_FALSE(disk.exists("/rec/clip_1.m4a")) << "the recording is deleted even so";
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

    ASSERT_EQ(history.history().size(), 2u);
    EXPECT_EQ(history.history()[0].text(), "second");
    EXPECT_DOUBLE_EQ(history.history()[0].duration(), 3.0);
    EXPECT_EQ(history.history()[0].appName(), "Mail");
}

} // namespace
} // namespace quillo::test
