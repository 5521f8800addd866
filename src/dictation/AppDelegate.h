#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/NavItem.h"
#include "base/NotificationCenter.h"
#include "hotkeys/HotkeyControl.h"
#include "platform/Workspace.h"

namespace quillo {

class Clock;
class Executor;
class FileSystem;
class DataStore;
class KeptDictationStore;
class LiveStreamer;
class LiveStreamerFactory;
class MainQueue;
class MainWindowHost;
class NotificationCenter;
class Notifier;
class Paster;
struct PasteReport;
class Permissions;
class Preferences;
class RecordingIndicator;
class StatusItem;
class Transcriber;

// The dictation controller: starts the subsystems at launch and carries each
// dictation from "recording started" to the paste, the history entry and the
// icon going back to idle. Also answers paste-last.
//
// Threading: every public method runs on the main thread. The network work of
// a dictation runs on the executor and hops back through the main queue.
// Create it with std::make_shared: queued callbacks hold it weakly.
class AppDelegate : public std::enable_shared_from_this<AppDelegate>
{
public:
    enum class IconState
    {
        idle,
        recording,
        processing
    };

    struct Dependencies
    {
        Preferences& preferences;
        MainQueue& mainQueue;
        Executor& executor;
        Clock& clock;
        FileSystem& fileSystem;
        Notifier& notifier;
        Workspace& workspace;
        StatusItem& statusItem;
        Permissions& permissions;
        MainWindowHost& mainWindowHost;
        NotificationCenter& notificationCenter;
        Transcriber& transcriber;
        DataStore& history;
        KeptDictationStore& keptDictations;
        Paster& paster;
        LiveStreamerFactory& streamers;
        // Where recordings are made: what a crash left there is kept at launch.
        std::string recordingsDirectory;
        std::function<std::unique_ptr<HotkeyControl>()> makeHotkeyManager;
        std::function<std::unique_ptr<RecordingIndicator>()> makeRecordingIndicator;
        std::function<void()> quit;
    };

    static constexpr const char* kMicFallbackNotification = kMicFallbackDidOccur;
    static constexpr const char* kInterruptedError = "Quillo stopped before this dictation was transcribed.";
    static constexpr const char* kQuitError = "Quillo quit before this dictation was transcribed.";

    // The answer to a command run for another process: exit status, output and
    // complaints.
    using CommandReply = std::function<void(int status, const std::string& out, const std::string& err)>;

    explicit AppDelegate(Dependencies dependencies);
    ~AppDelegate();

    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen();
    // The program is about to quit: a recording still running is finished
    // and processed like any other.
    void applicationWillTerminate();
    // While quitting: whether a dictation or a retry is still being worked on.
    bool isBusy() const;
    // While quitting, once waiting is over: keeps every dictation still being
    // processed for a later retry, and returns how many. Their tasks then
    // change nothing when they end.
    std::size_t keepUnfinishedDictations();

    void didStartRecording();
    void didStopRecording(const std::optional<std::string>& audioPath);
    void didCancelRecording();
    void pasteLast();

    // A command from outside the keyboard (the control interface on the
    // session bus). Nothing when it was taken, else why not, in a sentence for
    // the user: dictation switched off, or nothing to paste yet.
    std::optional<std::string> runCommand(HotkeyControl::Command command);
    // What dictation is doing now; the observer hears every change (and may
    // hear the same state twice).
    IconState state() const { return settledIconState(); }
    void setStateObserver(std::function<void(IconState)> observer);
    static std::string_view stateName(IconState state); // "idle", "recording", "processing"

    // Kept dictations: retried through the normal pipeline (the text is then
    // copied, not pasted: the cursor is elsewhere by now), or deleted.
    void retryKept(const std::string& id);
    void deleteKept(const std::string& id);
    // `quillo pending` and `quillo retry` asked of this instance, so that only
    // one process writes the history. `reply` runs on the main thread.
    void runKeptCommand(const std::string& name, const std::vector<std::string>& args, CommandReply reply);

    // Tray and window (the status item's menu calls these).
    void toggleDictation();
    void openMainWindow();
    void showMainWindow(NavItem tab);
    void updateIcon(IconState state);

    // Permissions and notifications.
    void notify(const std::string& title, const std::string& body);
    void handleMicFallback();
    // A paste that did not arrive is announced; others pass silently.
    void handlePasteReport(const PasteReport& report);

    bool isEnabled() const { return m_isEnabled; }
    const std::optional<std::string>& lastPastedText() const { return m_lastPastedText; }
    HotkeyControl* hotkeyManager() const { return m_hotkeyManager.get(); }

    // The product's initial, drawn when an icon is missing.
    static std::string productInitial();

private:
    void setupMenuBar();
    void checkAccessibilityPermission();
    void requestMicrophonePermission();

    struct Job;
    // What a background task uses. Tasks never hold the controller itself, so
    // its last owner, and its destruction, stay on the main thread.
    struct Pipeline
    {
        Transcriber& transcriber;
        DataStore& history;
        KeptDictationStore& kept;
        FileSystem& fileSystem;
        MainQueue& mainQueue;
        Executor& executor;
    };

    Pipeline pipeline() const;
    static void processAudio(Pipeline pipeline, std::weak_ptr<AppDelegate> weak, std::shared_ptr<Job> job);
    // Main thread: a dictation's processing has ended (success, empty or error).
    void finishProcessing(const std::shared_ptr<Job>& job);
    void finishRetry(const std::string& id);
    void notifyKeptFailure(const std::string& id, const std::string& error, bool kept);
    // The icon that matches what is going on now: recording while a recording
    // runs, processing while any dictation is still processing, else idle.
    IconState settledIconState() const;
    // Posts `work` to the main thread, then deletes the recording afterwards on
    // the executor, whether or not the controller still exists.
    static void finishOnMainThenDelete(Pipeline pipeline,
                                       std::weak_ptr<AppDelegate> weak,
                                       const std::string& audioPath,
                                       std::function<void(AppDelegate&)> work);

    Dependencies m_deps;

    std::unique_ptr<HotkeyControl> m_hotkeyManager;
    std::unique_ptr<RecordingIndicator> m_recordingIndicator;
    bool m_isEnabled = true;
    std::optional<std::chrono::system_clock::time_point> m_recordingStartTime;
    std::optional<FrontApplication> m_recordingApp;
    std::shared_ptr<LiveStreamer> m_liveStreamer;
    std::optional<std::string> m_lastPastedText;

    bool m_isRecording = false;
    std::vector<std::shared_ptr<Job>> m_jobs; // dictations being processed
    std::set<std::string> m_retrying;         // kept dictations being retried
    int m_commandsRunning = 0;
    std::uint64_t m_fallbackObserver = 0;
    std::function<void(IconState)> m_stateObserver;
    bool m_toldKeysUnavailable = false;
};

} // namespace quillo
