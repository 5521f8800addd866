#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/NavItem.h"
#include "platform/Workspace.h"

namespace quillo {

class Clock;
class Executor;
class FileSystem;
class HistoryRecorder;
class HotkeyControl;
class LiveStreamer;
class LiveStreamerFactory;
class MainQueue;
class MainWindowHost;
class NotificationCenter;
class Notifier;
class Paster;
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
        HistoryRecorder& history;
        Paster& paster;
        LiveStreamerFactory& streamers;
        std::function<std::unique_ptr<HotkeyControl>()> makeHotkeyManager;
        std::function<std::unique_ptr<RecordingIndicator>()> makeRecordingIndicator;
        std::function<void()> quit;
    };

    static constexpr const char* kMicFallbackNotification = "QuilloMicFallbackDidOccur";

    explicit AppDelegate(Dependencies dependencies);
    ~AppDelegate();

    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen();
    // The program is about to quit: a recording still running is finished
    // and processed like any other.
    void applicationWillTerminate();

    void didStartRecording();
    void didStopRecording(const std::optional<std::string>& audioPath);
    void didCancelRecording();
    void pasteLast();

    // Tray and window (the status item's menu calls these).
    void toggleDictation();
    void openMainWindow();
    void showMainWindow(NavItem tab);
    void updateIcon(IconState state);

    // Permissions and notifications.
    void notify(const std::string& title, const std::string& body);
    void handleMicFallback();

    bool isEnabled() const { return m_isEnabled; }
    const std::optional<std::string>& lastPastedText() const { return m_lastPastedText; }
    HotkeyControl* hotkeyManager() const { return m_hotkeyManager.get(); }

    // The product's initial, drawn when an icon is missing.
    static std::string productInitial();

private:
    void setupMenuBar();
    void checkAccessibilityPermission();
    void requestMicrophonePermission();

    // An empty audioPath: no file was recorded, only the streamed words count.
    void processAudio(const std::string& audioPath,
                      double duration,
                      const std::optional<FrontApplication>& app,
                      std::shared_ptr<LiveStreamer> streamer);
    // Main thread: a dictation's processing has ended (success, empty or error).
    void finishProcessing();
    // The icon that matches what is going on now: recording while a recording
    // runs, processing while any dictation is still processing, else idle.
    IconState settledIconState() const;
    // Posts `work` to the main thread, then deletes the recording afterwards on
    // the executor, whether or not the controller still exists.
    void finishOnMainThenDelete(const std::string& audioPath, std::function<void(AppDelegate&)> work);

    Dependencies m_deps;

    std::unique_ptr<HotkeyControl> m_hotkeyManager;
    std::unique_ptr<RecordingIndicator> m_recordingIndicator;
    bool m_isEnabled = true;
    std::optional<std::chrono::system_clock::time_point> m_recordingStartTime;
    std::optional<FrontApplication> m_recordingApp;
    std::shared_ptr<LiveStreamer> m_liveStreamer;
    std::optional<std::string> m_lastPastedText;

    bool m_isRecording = false;
    int m_processingCount = 0;
    std::uint64_t m_fallbackObserver = 0;
};

} // namespace quillo
