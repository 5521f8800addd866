#include "app/AppDelegate.h"

#include <exception>

#include "app/NotificationCenter.h"
#include "hotkeys/HotkeyControl.h"
#include "output/Paster.h"
#include "platform/Clock.h"
#include "platform/Executor.h"
#include "platform/FileSystem.h"
#include "platform/MainQueue.h"
#include "platform/MainWindowHost.h"
#include "platform/Notifier.h"
#include "platform/Permissions.h"
#include "platform/Preferences.h"
#include "platform/RecordingIndicator.h"
#include "platform/StatusItem.h"
#include "store/HistoryRecorder.h"
#include "streaming/LiveStreamer.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/Transcriber.h"

namespace quillo {

namespace {

constexpr const char* kEmDash = "\u2014";

} // namespace

AppDelegate::AppDelegate(Dependencies dependencies) : m_deps(std::move(dependencies)) {}

AppDelegate::~AppDelegate()
{
    if (m_fallbackObserver != 0) {
        m_deps.notificationCenter.removeObserver(m_fallbackObserver);
    }
}

std::string AppDelegate::productInitial()
{
    return "Q";
}

// ------------------------------------------------------------------ launch

void AppDelegate::applicationDidFinishLaunching()
{
    m_deps.preferences.registerDefaults({
        {"quillo.streamingEnabled", true},
        {QuilloLanguage::kPreferenceKey, nlohmann::json::array({"en"})},
    });
    // A Qt application with a window is already a regular one (taskbar entry
    // besides the tray icon), so there is no activation policy to set here.
    m_deps.permissions.requestNotificationAuthorization();
    setupMenuBar();
    showMainWindow(NavItem::home);

    m_hotkeyManager = m_deps.makeHotkeyManager();
    if (m_hotkeyManager) {
        std::weak_ptr<AppDelegate> weak = weak_from_this();
        HotkeyControl::Callbacks callbacks;
        callbacks.onStartRecording = [weak, &queue = m_deps.mainQueue] {
            queue.post([weak] {
                if (auto self = weak.lock()) {
                    self->didStartRecording();
                }
            });
        };
        callbacks.onStopRecording = [weak, &queue = m_deps.mainQueue](const std::optional<std::string>& path) {
            queue.post([weak, path] {
                if (auto self = weak.lock()) {
                    self->didStopRecording(path);
                }
            });
        };
        callbacks.onCancelRecording = [weak, &queue = m_deps.mainQueue] {
            queue.post([weak] {
                if (auto self = weak.lock()) {
                    self->didCancelRecording();
                }
            });
        };
        callbacks.onPasteLast = [weak] {
            if (auto self = weak.lock()) {
                self->pasteLast();
            }
        };
        m_hotkeyManager->setCallbacks(std::move(callbacks));
        m_hotkeyManager->start();
    }

    std::weak_ptr<AppDelegate> weak = weak_from_this();
    m_fallbackObserver = m_deps.notificationCenter.addObserver(kMicFallbackNotification, [weak] {
        if (auto self = weak.lock()) {
            self->handleMicFallback();
        }
    });

    checkAccessibilityPermission();
    requestMicrophonePermission();
}

bool AppDelegate::applicationShouldHandleReopen()
{
    showMainWindow(NavItem::home);
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    if (m_hotkeyManager) {
        m_hotkeyManager->finishRecording();
    }
}

// ---------------------------------------------------------- one dictation

void AppDelegate::didStartRecording()
{
    m_recordingStartTime = m_deps.clock.now();

    // The pair is present even when no application is in front; its parts are not.
    m_recordingApp = m_deps.workspace.frontmostApplication().value_or(FrontApplication{});

    if (m_deps.streamers.shouldStream(QuilloLanguage::enabled(m_deps.preferences))) {
        m_liveStreamer = m_deps.streamers.create();
        if (m_liveStreamer) {
            m_liveStreamer->start();
        }
    }

    m_isRecording = true;
    updateIcon(IconState::recording);

    if (!m_recordingIndicator && m_deps.makeRecordingIndicator) {
        m_recordingIndicator = m_deps.makeRecordingIndicator();
    }
    if (m_recordingIndicator) {
        m_recordingIndicator->show();
    }
}

void AppDelegate::didStopRecording(const std::optional<std::string>& audioPath)
{
    double duration = 0;
    if (m_recordingStartTime) {
        duration = std::chrono::duration<double>(m_deps.clock.now() - *m_recordingStartTime).count();
    }
    m_recordingStartTime.reset();

    auto app = std::exchange(m_recordingApp, std::nullopt);
    auto streamer = std::exchange(m_liveStreamer, nullptr);
    m_isRecording = false;

    if (m_recordingIndicator) {
        m_recordingIndicator->hide();
    }

    // Without a file (the recorder failed and has said why) the live stream
    // may still hold the words.
    if (!audioPath && !streamer) {
        updateIcon(settledIconState());
        return;
    }

    ++m_processingCount;
    updateIcon(IconState::processing);

    // Everything the task needs travels with it, so the fields are free for the
    // next recording at once.
    m_deps.executor.run([self = shared_from_this(), path = audioPath.value_or(""), duration, app, streamer] {
        self->processAudio(path, duration, app, streamer);
    });
}

void AppDelegate::didCancelRecording()
{
    m_recordingStartTime.reset();
    m_recordingApp.reset();
    m_isRecording = false;
    if (auto streamer = std::exchange(m_liveStreamer, nullptr)) {
        streamer->cancel();
    }
    if (m_recordingIndicator) {
        m_recordingIndicator->hide();
    }
    updateIcon(settledIconState());
}

void AppDelegate::processAudio(const std::string& audioPath,
                               double duration,
                               const std::optional<FrontApplication>& app,
                               std::shared_ptr<LiveStreamer> streamer)
{
    std::optional<std::string> streamed;
    if (streamer) {
        streamed = streamer->finish();
    }

    if (audioPath.empty() && (!streamed || streamed->empty())) {
        finishOnMainThenDelete(audioPath, [](AppDelegate& self) { self.finishProcessing(); });
        return;
    }

    std::string errorDescription;
    try {
        const DictationResult result =
            m_deps.transcriber.transcribeAndClean(audioPath, QuilloLanguage::enabled(m_deps.preferences), streamed);

        if (result.text.empty()) {
            finishOnMainThenDelete(audioPath, [](AppDelegate& self) { self.finishProcessing(); });
            return;
        }

        // The history keeps what was said; the paste (and paste-last) gets the
        // snippet's expansion when the whole text is a trigger.
        std::string pasteText = m_deps.history.expandSnippet(result.text).value_or(result.text);
        m_deps.history.addEntry(result.text,
                                duration,
                                app ? app->bundleID : std::nullopt,
                                app ? app->name : std::nullopt);

        finishOnMainThenDelete(audioPath,
                               [pasteText = std::move(pasteText), enter = result.simulateEnter](AppDelegate& self) {
                                   self.m_lastPastedText = pasteText;
                                   self.m_deps.paster.paste(pasteText, enter);
                                   self.finishProcessing();
                               });
        return;
    } catch (const std::exception& error) {
        errorDescription = error.what();
    } catch (...) {
        errorDescription = "An unknown error occurred.";
    }

    finishOnMainThenDelete(audioPath, [errorDescription](AppDelegate& self) {
        self.finishProcessing();
        self.notify("Quillo Error", errorDescription);
    });
}

void AppDelegate::finishOnMainThenDelete(const std::string& audioPath, std::function<void(AppDelegate&)> work)
{
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    m_deps.mainQueue.post(
        [weak, work = std::move(work), audioPath, &executor = m_deps.executor, &fileSystem = m_deps.fileSystem] {
            if (auto self = weak.lock()) {
                work(*self);
            }
            // The recording goes last, after the main-thread work; a failure to
            // delete it changes nothing for the user.
            if (!audioPath.empty()) {
                executor.run([audioPath, &fileSystem] { fileSystem.removeFile(audioPath); });
            }
        });
}

void AppDelegate::finishProcessing()
{
    if (m_processingCount > 0) {
        --m_processingCount;
    }
    updateIcon(settledIconState());
}

AppDelegate::IconState AppDelegate::settledIconState() const
{
    if (m_isRecording) {
        return IconState::recording;
    }
    return m_processingCount > 0 ? IconState::processing : IconState::idle;
}

void AppDelegate::pasteLast()
{
    if (m_lastPastedText) {
        m_deps.paster.paste(*m_lastPastedText, false);
    }
}

// ------------------------------------------------------------ tray, window

void AppDelegate::setupMenuBar()
{
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    StatusItem::Actions actions;
    actions.toggleDictation = [weak] {
        if (auto self = weak.lock()) {
            self->toggleDictation();
        }
    };
    actions.openMainWindow = [weak] {
        if (auto self = weak.lock()) {
            self->openMainWindow();
        }
    };
    actions.quit = m_deps.quit;
    if (m_deps.statusItem.setUp(std::move(actions))) {
        m_deps.statusItem.setImage("mic", productInitial());
        m_deps.statusItem.setToggleTitle("Dictation: ON");
    }
}

void AppDelegate::updateIcon(IconState state)
{
    const std::string fallback = m_isEnabled ? productInitial() : kEmDash;
    switch (state) {
    case IconState::idle:
        m_deps.statusItem.setImage(m_isEnabled ? "mic" : "mic.slash", fallback);
        break;
    case IconState::recording:
        m_deps.statusItem.setImage("mic.fill", fallback);
        break;
    case IconState::processing:
        m_deps.statusItem.setImage("ellipsis.circle", fallback);
        break;
    }
}

void AppDelegate::toggleDictation()
{
    m_isEnabled = !m_isEnabled;
    if (m_hotkeyManager) {
        m_hotkeyManager->setEnabled(m_isEnabled);
    }
    m_deps.statusItem.setToggleTitle(m_isEnabled ? "Dictation: ON" : "Dictation: OFF");
    updateIcon(IconState::idle);
}

void AppDelegate::openMainWindow()
{
    showMainWindow(NavItem::home);
}

void AppDelegate::showMainWindow(NavItem tab)
{
    m_deps.mainWindowHost.showMainWindow(tab);
}

// ------------------------------------------------ permissions, notifications

void AppDelegate::notify(const std::string& title, const std::string& body)
{
    m_deps.notifier.notify(title, body);
}

void AppDelegate::checkAccessibilityPermission()
{
    const bool trusted = m_deps.permissions.isAccessibilityTrusted();
    const std::string advice = m_deps.permissions.accessibilityAdvice();
    if (!trusted) {
        notify("Hotkeys Unavailable", advice);
    } else if (!advice.empty()) {
        notify("Hotkeys Limited", advice);
    }
}

void AppDelegate::requestMicrophonePermission()
{
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    m_deps.permissions.requestMicrophoneAccess([weak, &queue = m_deps.mainQueue](bool granted) {
        if (granted) {
            return;
        }
        queue.post([weak] {
            if (auto self = weak.lock()) {
                self->notify("No Audio Server",
                             "Quillo cannot record: no audio server answered. Start PipeWire (systemctl --user start "
                             "pipewire pipewire-pulse) or PulseAudio (systemctl --user start pulseaudio), then try "
                             "again.");
            }
        });
    });
}

void AppDelegate::handleMicFallback()
{
    // The choice is kept: the microphone is used again once it is plugged
    // back in, and the manager reports each absence only once.
    notify("Microphone Unavailable",
           "The selected microphone was not found. Recording with the system default instead.");
}

} // namespace quillo
