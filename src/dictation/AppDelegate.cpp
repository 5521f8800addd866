#include "dictation/AppDelegate.h"

#include <atomic>
#include <exception>

#include "base/DictationEntry.h"
#include "base/IfAlive.h"
#include "base/NotificationCenter.h"
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
#include "store/DataStore.h"
#include "store/KeptDictations.h"
#include "streaming/LiveStreamer.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/Transcriber.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo {

struct AppDelegate::Job
{
    std::string audioPath;
    KeptDictation record; // the dictation as a kept record would describe it
    std::shared_ptr<LiveStreamer> streamer;
    // Whoever sets it first, the task when it ends or a quit that cannot wait,
    // decides what becomes of the dictation.
    std::atomic<bool> claimed{false};
};

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
            postIfAlive(queue, weak, [](AppDelegate& self) { self.didStartRecording(); });
        };
        callbacks.onStopRecording = [weak, &queue = m_deps.mainQueue](const std::optional<std::string>& path) {
            postIfAlive(queue, weak, [path](AppDelegate& self) { self.didStopRecording(path); });
        };
        callbacks.onCancelRecording = [weak, &queue = m_deps.mainQueue] {
            postIfAlive(queue, weak, [](AppDelegate& self) { self.didCancelRecording(); });
        };
        callbacks.onPasteLast = ifAlive(weak, [](AppDelegate& self) { self.pasteLast(); });
        m_hotkeyManager->setCallbacks(std::move(callbacks));
        m_hotkeyManager->start();
    }

    std::weak_ptr<AppDelegate> weak = weak_from_this();
    m_fallbackObserver = m_deps.notificationCenter.addObserver(kMicFallbackNotification, [weak] {
        if (auto self = weak.lock()) {
            self->handleMicFallback();
        }
    });

    m_deps.paster.setReportHandler([weak](const PasteReport& report) {
        if (auto self = weak.lock()) {
            self->handlePasteReport(report);
        }
    });

    checkAccessibilityPermission();
    requestMicrophonePermission();

    m_deps.keptDictations.removeExpired();
    const auto recovered = m_deps.keptDictations.adoptLeftovers(m_deps.recordingsDirectory, kInterruptedError);
    if (recovered > 0) {
        notify("Dictation Not Transcribed",
               recovered == 1 ? "Quillo stopped before a dictation was transcribed. It was kept: retry it from History."
                              : std::to_string(recovered) +
                                    " dictations were not transcribed before Quillo stopped. They were kept: retry "
                                    "them from History.");
    }
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

bool AppDelegate::isBusy() const
{
    return !m_jobs.empty() || !m_retrying.empty() || m_commandsRunning > 0;
}

std::size_t AppDelegate::keepUnfinishedDictations()
{
    std::size_t kept = 0;
    for (const auto& job : std::exchange(m_jobs, {})) {
        if (job->claimed.exchange(true)) {
            continue; // its task has just ended and handles it
        }
        KeptDictation record = job->record;
        record.error = kQuitError;
        // A recording that cannot be moved stays where it is and is kept at
        // the next launch instead.
        if (m_deps.keptDictations.keep(job->audioPath, std::move(record))) {
            ++kept;
        }
    }
    return kept;
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

    auto job = std::make_shared<Job>();
    job->audioPath = audioPath.value_or(""); // none: only the streamed words count
    job->streamer = std::move(streamer);
    job->record.date = toReferenceSeconds(m_deps.clock.now());
    job->record.duration = duration;
    if (app) {
        job->record.appBundleID = app->bundleID;
        job->record.appName = app->name;
    }
    const auto languages = QuilloLanguage::enabled(m_deps.preferences);
    job->record.languages.assign(languages.begin(), languages.end());
    job->record.engine = TranscriptionEngine::current(m_deps.preferences).rawValue();
    m_jobs.push_back(job);
    updateIcon(IconState::processing);

    // Everything the task needs travels with it, so the fields are free for the
    // next recording at once.
    m_deps.executor.run([pipeline = pipeline(), weak = weak_from_this(), job] { processAudio(pipeline, weak, job); });
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

AppDelegate::Pipeline AppDelegate::pipeline() const
{
    return {m_deps.transcriber,
            m_deps.history,
            m_deps.keptDictations,
            m_deps.fileSystem,
            m_deps.mainQueue,
            m_deps.executor};
}

void AppDelegate::processAudio(Pipeline pipeline, std::weak_ptr<AppDelegate> weak, std::shared_ptr<Job> job)
{
    if (job->claimed) {
        return; // a quit kept it before it began
    }
    // Should Quillo die while this runs, the note lets the next launch keep the
    // recording with what is known about it.
    if (!job->audioPath.empty()) {
        pipeline.kept.noteProcessing(job->audioPath, job->record);
    }

    std::optional<std::string> streamed;
    if (job->streamer) {
        streamed = job->streamer->finish();
    }

    // No file (the recorder failed and has said why) and no streamed words:
    // nothing to transcribe or keep.
    if (job->audioPath.empty() && (!streamed || streamed->empty())) {
        if (!job->claimed.exchange(true)) {
            finishOnMainThenDelete(pipeline, weak, job->audioPath, [job](AppDelegate& self) {
                self.finishProcessing(job);
            });
        }
        return;
    }

    std::string errorDescription;
    try {
        const LanguageSet languages(job->record.languages.begin(), job->record.languages.end());
        const DictationResult result = pipeline.transcriber.transcribeAndClean(job->audioPath, languages, streamed);
        if (job->claimed.exchange(true)) {
            return; // a quit kept it meanwhile
        }
        if (!job->audioPath.empty()) {
            pipeline.kept.forgetProcessing(job->audioPath);
        }

        if (result.text.empty()) {
            finishOnMainThenDelete(pipeline, weak, job->audioPath, [job](AppDelegate& self) {
                self.finishProcessing(job);
            });
            return;
        }

        // The history keeps what was said; the paste (and paste-last) gets the
        // snippet's expansion when the whole text is a trigger.
        std::string pasteText = pipeline.history.expandSnippet(result.text).value_or(result.text);
        pipeline.history.addEntry(result.text, job->record.duration, job->record.appBundleID, job->record.appName);

        finishOnMainThenDelete(
            pipeline,
            weak,
            job->audioPath,
            [job, pasteText = std::move(pasteText), enter = result.simulateEnter](AppDelegate& self) {
                self.m_lastPastedText = pasteText;
                self.m_deps.paster.paste(pasteText, enter);
                self.finishProcessing(job);
            });
        return;
    } catch (const std::exception& error) {
        errorDescription = error.what();
    } catch (...) {
        errorDescription = "An unknown error occurred.";
    }
    if (job->claimed.exchange(true)) {
        return;
    }

    // What the user said is never thrown away: the recording is kept for a
    // retry (or, if even that fails, left where the next launch finds it).
    KeptDictation record = job->record;
    record.error = errorDescription;
    const auto kept = pipeline.kept.keep(job->audioPath, std::move(record));
    pipeline.mainQueue.post([weak, job, errorDescription, id = kept ? kept->id : std::string()] {
        if (auto self = weak.lock()) {
            self->finishProcessing(job);
            self->notifyKeptFailure(id, errorDescription, !id.empty());
        }
    });
}

void AppDelegate::finishOnMainThenDelete(Pipeline pipeline,
                                         std::weak_ptr<AppDelegate> weak,
                                         const std::string& audioPath,
                                         std::function<void(AppDelegate&)> work)
{
    pipeline.mainQueue.post(
        [weak, work = std::move(work), audioPath, &executor = pipeline.executor, &fileSystem = pipeline.fileSystem] {
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

void AppDelegate::finishProcessing(const std::shared_ptr<Job>& job)
{
    std::erase(m_jobs, job);
    updateIcon(settledIconState());
}

AppDelegate::IconState AppDelegate::settledIconState() const
{
    if (m_isRecording) {
        return IconState::recording;
    }
    return !m_jobs.empty() || !m_retrying.empty() ? IconState::processing : IconState::idle;
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

void AppDelegate::handlePasteReport(const PasteReport& report)
{
    if (report.keysUnavailable) {
        // The same for every dictation of the session: said once.
        if (!std::exchange(m_toldKeysUnavailable, true)) {
            notify("Dictation Left on the Clipboard",
                   "Quillo cannot press keys in this session, so each dictation is left on the clipboard: paste it "
                   "with Ctrl+V. Run quillo doctor to see what is missing.");
        }
        return;
    }
    if (report.outcome != DeliveryOutcome::notDelivered) {
        return;
    }
    // The Settings screen offers another paste method for the application of
    // the last dictation; the notification tells the user the words are safe.
    const std::string application = report.applicationName.value_or("the application in front");
    notify("Dictation Not Pasted",
           "Couldn't paste into " + application +
               ". Your dictation is on the clipboard: press Ctrl+V (or Ctrl+Shift+V in a terminal).");
}

void AppDelegate::handleMicFallback()
{
    // The choice is kept: the microphone is used again once it is plugged
    // back in, and the manager reports each absence only once.
    notify("Microphone Unavailable",
           "The selected microphone was not found. Recording with the system default instead.");
}

} // namespace quillo
