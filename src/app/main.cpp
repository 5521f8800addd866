// The composition root: builds the Linux implementations and hands them to the
// core. Nothing else in the program constructs a platform class.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <csignal>
#include <memory>
#include <set>

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSocketNotifier>

#include "app/AppDelegate.h"
#include "app/NotificationCenter.h"
#include "app/ThreadExecutor.h"
#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "hotkeys/HotkeyManager.h"
#include "output/PasteManager.h"
#include "platform/Permissions.h"
#include "platform/linux/CurlHttpClient.h"
#include "platform/linux/EnvironmentCredentials.h"
#include "platform/linux/EnvironmentEndpoints.h"
#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/JsonPreferences.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/PulseMicrophoneAccess.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/QtDBusNotifier.h"
#include "platform/linux/QtKeyEventPump.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/QtWebSocket.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/X11Accessibility.h"
#include "platform/linux/X11KeyEventSource.h"
#include "platform/linux/X11SyntheticKeys.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeySynthesizer.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "platform/linux/XdgPaths.h"
#include "store/DataStore.h"
#include "store/StoreCommands.h"
#include "streaming/DeepgramLiveStreamer.h"
#include "transcription/EngineRouting.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/OpenAIService.h"
#include "transcription/RemoteSpeechServices.h"
#include "transcription/TranscribeCommand.h"
#include "transcription/TranscriptRules.h"
#include "ui/main/AppNavState.h"
#include "ui/main/MainWindowView.h"
#include "ui/shell/KeysHelp.h"
#include "ui/shell/MainWindowController.h"
#include "ui/shell/QtAlert.h"
#include "ui/shell/RecordingIndicatorWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/TrayStatusItem.h"

namespace {

void printHelp()
{
    std::puts("Usage: quillo [OPTION]\n"
              "Push-to-talk dictation: hold a key, speak, let go, and the text is typed at the cursor.\n"
              "\n"
              "Options:\n"
              "  --help     show this help and exit\n"
              "  --version  show the version and exit\n"
              "\n"
              "Commands:\n"
              "  stats [--json]\n"
              "             print the dictation statistics (totals, words per minute, streaks)\n"
              "  history [--json] [--limit N]\n"
              "             print the dictation history, newest first\n"
              "  transcribe FILE [--languages en,de]\n"
              "             transcribe and clean up one recording and print the text");
}

// `quillo stats` and `quillo history`: the store loaded exactly as the app
// loads it, so they see (and set aside) the same files.
int runStoreCommand(int argc, char** argv)
{
    quillo::PosixFileSystem fileSystem;
    quillo::StderrLog log;
    quillo::SystemClock clock;
    quillo::JsonPreferences preferences(fileSystem, log, clock, quillo::xdg::preferencesPath());
    quillo::DataStore store(fileSystem, preferences, log, clock, quillo::xdg::dataDirectory());
    const std::vector<std::string> args(argv + 2, argv + argc);
    const auto command = std::strcmp(argv[1], "stats") == 0 ? quillo::commands::stats : quillo::commands::history;
    return command(store, args, std::cout, std::cerr);
}

bool isStoreCommand(const char* name)
{
    return std::strcmp(name, "stats") == 0 || std::strcmp(name, "history") == 0;
}

// The dictation pipeline without the desktop, over the same settings, lists,
// service keys and offline model as the app.
int runTranscribeCommand(int argc, char** argv)
{
    quillo::PosixFileSystem fileSystem;
    quillo::StderrLog log;
    quillo::SystemClock clock;
    quillo::JsonPreferences preferences(fileSystem, log, clock, quillo::xdg::preferencesPath());
    quillo::DataStore store(fileSystem, preferences, log, clock, quillo::xdg::dataDirectory());
    quillo::CurlHttpClient http;
    quillo::EnvironmentCredentials credentials(fileSystem, log, quillo::xdg::credentialsPath());
    quillo::EnvironmentEndpoints endpoints;
    quillo::RemoteSpeechServices services({http, credentials, endpoints});
    quillo::TranscriptRules rules;
    quillo::FfmpegAudioDecoder decoder;
    quillo::PocketSphinxRecognizer recognizer;
    quillo::LocalSpeechEngine localSpeech({decoder, recognizer, log});
    quillo::OpenAIService pipeline(
        {preferences, fileSystem, clock, log, services, rules, store, credentials, localSpeech});
    quillo::TranscribeCommand command{preferences, pipeline};
    return command.run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

// ------------------------------------------------------------ the desktop app

// The desktop's side of the permissions: global keys need an X display with
// XInput2 and XTest; the microphone needs a reachable audio server; the
// notification service asks nobody.
class LinuxPermissions final : public quillo::Permissions
{
public:
    bool isAccessibilityTrusted() override { return quillo::isX11AccessibilityTrusted(); }
    std::string accessibilityAdvice() override { return quillo::x11AccessibilityAdvice(); }
    void requestMicrophoneAccess(std::function<void(bool)> completion) override
    {
        m_microphone.requestAccess(std::move(completion));
    }
    void requestNotificationAuthorization() override {}

private:
    quillo::PulseMicrophoneAccess m_microphone;
};

// SIGTERM and SIGINT (logout, Ctrl+C) end the event loop like "Quit Quillo",
// so the shutdown below runs instead of the process dying mid-dictation.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void useIconThemeWithSymbols()
{
    // Outside a full desktop Qt falls back to "hicolor", which has none of the
    // microphone icons; Adwaita (or the desktop's own theme) has them.
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QStringLiteral("hicolor")) {
        for (const QString& candidate : {QStringLiteral("Adwaita"), QStringLiteral("breeze")}) {
            if (QFileInfo::exists(QStringLiteral("/usr/share/icons/") + candidate + QStringLiteral("/index.theme"))) {
                QIcon::setThemeName(candidate);
                break;
            }
        }
    }
}

int runDesktopApp(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillo"));
    QApplication::setQuitOnLastWindowClosed(false); // the tray keeps Quillo running
    useIconThemeWithSymbols();

    // Decided before anything else is read or opened: two launches close
    // together (autostart and a click) must not both run.
    quillo::SingleInstance singleInstance(quillo::SingleInstance::defaultSocketPath());
    if (!singleInstance.acquire()) {
        // The running Quillo brings its window forward; it may still be
        // loading its history, so it is given a while to answer.
        if (!singleInstance.notifyRunningInstance(15000)) {
            std::fprintf(stderr, "Quillo is already running.\n");
        }
        return 0;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        std::signal(SIGTERM, onTerminationSignal);
        std::signal(SIGINT, onTerminationSignal);
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

    // Platform.
    quillo::PosixFileSystem fileSystem;
    quillo::StderrLog log;
    quillo::SystemClock clock;
    quillo::JsonPreferences preferences(fileSystem, log, clock, quillo::xdg::preferencesPath());
    quillo::QtMainQueue mainQueue;
    quillo::QtDBusNotifier notifier;
    quillo::X11Workspace workspace;
    quillo::TrayStatusItem statusItem;
    quillo::QtAlert alert;
    LinuxPermissions permissions;
    quillo::NotificationCenter notificationCenter;

    // Transcription, history and paste.
    quillo::DataStore store(fileSystem, preferences, log, clock, quillo::xdg::dataDirectory());
    quillo::CurlHttpClient http;
    quillo::EnvironmentCredentials credentials(fileSystem, log, quillo::xdg::credentialsPath());
    quillo::EnvironmentEndpoints endpoints;
    quillo::RemoteSpeechServices services({http, credentials, endpoints});
    quillo::TranscriptRules rules;
    quillo::FfmpegAudioDecoder audioDecoder;
    quillo::PocketSphinxRecognizer recognizer;
    quillo::LocalSpeechEngine localSpeech({audioDecoder, recognizer, log});
    quillo::OpenAIService transcriber(
        {preferences, fileSystem, clock, log, services, rules, store, credentials, localSpeech});
    quillo::QtClipboard clipboard;
    // What Quillo types itself, so the key monitor does not take it for the user's keys.
    quillo::X11SyntheticKeys ownKeys;
    quillo::XTestKeySynthesizer keySynthesizer(nullptr, &ownKeys);
    quillo::PasteManager paster(clipboard, keySynthesizer, mainQueue);

    // Microphone and keys.
    auto pulse = std::make_shared<quillo::PulseConnection>();
    quillo::PulseAudioDevices audioDevices(pulse);
    quillo::MicrophoneManager microphones(audioDevices, preferences);
    // The recording and its live stream capture from the microphone the
    // manager chose for the recording in progress.
    quillo::PulseAudioCapture audioCapture(pulse, [&microphones] { return microphones.recordingSource(); });
    quillo::QtWebSocketConnector webSockets;
    quillo::DeepgramLiveStreamerFactory streamers(preferences, {webSockets, audioCapture, credentials, endpoints});
    quillo::FfmpegAudioFileWriter audioFileWriter;
    quillo::XdgAutostartLoginItem loginItem(fileSystem,
                                            quillo::xdg::autostartDirectory(),
                                            quillo::XdgAutostartLoginItem::runningExecutable());

    // After everything its screens observe (the store, the preferences, the
    // microphones), so the window goes first.
    quillo::AppNavState navState;
    quillo::MainWindowController mainWindow(
        preferences,
        [&] {
            auto* view = new quillo::MainWindowView(
                {store, navState, clock, preferences, microphones, loginItem, credentials, localSpeech.modelName()});
            statusItem.addMenuBarTo(view);
            return view;
        },
        [&](quillo::NavItem item) { navState.setSelection(item); });
    quillo::X11KeyEventSource keyEvents(log, {}, &ownKeys);
    quillo::QtKeyEventPump keyPump(keyEvents);

    // Declared after everything its tasks use, so at shutdown it finishes the
    // dictations in flight while their collaborators still exist.
    quillo::ThreadExecutor executor;

    auto delegate = std::make_shared<quillo::AppDelegate>(quillo::AppDelegate::Dependencies{
        preferences,
        mainQueue,
        executor,
        clock,
        fileSystem,
        notifier,
        workspace,
        statusItem,
        permissions,
        mainWindow,
        notificationCenter,
        transcriber,
        store,
        paster,
        streamers,
        [&]() -> std::unique_ptr<quillo::HotkeyControl> {
            auto recorder = std::make_unique<quillo::AudioRecorder>(quillo::AudioRecorder::Dependencies{
                microphones,
                audioCapture,
                audioFileWriter,
                notificationCenter,
                clock,
                fileSystem,
                quillo::xdg::recordingsDirectory(),
                [&notifier](const std::string& problem) { notifier.notify("Recording Failed", problem); },
            });
            return std::make_unique<quillo::HotkeyManager>(quillo::HotkeyManager::Dependencies{
                preferences,
                mainQueue,
                log,
                permissions,
                alert,
                keyEvents,
                std::move(recorder),
                [] { quillo::showKeysHelp(); },
            });
        },
        [] { return std::make_unique<quillo::RecordingIndicatorWindow>(); },
        [] { QCoreApplication::quit(); },
    });

    singleInstance.listen([&delegate] { delegate->applicationShouldHandleReopen(); });
    delegate->applicationDidFinishLaunching();

    // The offline model takes seconds to load: when it is what will run, load
    // it now, in the background, rather than in the user's first dictation.
    const auto route = quillo::routeDictation(quillo::TranscriptionEngine::current(preferences),
                                              quillo::QuilloLanguage::enabled(preferences),
                                              quillo::ConfiguredKeys::of(credentials));
    if (route.speech == quillo::TranscriptionEngine::local) {
        localSpeech.preload();
    }

    const int status = QApplication::exec();

    // A recording still running is finished as if its key were released, and
    // the queued work of the main thread runs once more, so the words of a
    // dictation in progress reach the history before Quillo exits.
    delegate->applicationWillTerminate();
    for (int round = 0; round < 4; ++round) { // key release → recorder stop → controller → task
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    delegate.reset();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && isStoreCommand(argv[1])) {
        return runStoreCommand(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "transcribe") == 0) {
        return runTranscribeCommand(argc, argv);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Quillo %s\n", QUILLO_VERSION);
            return 0;
        }
    }

    return runDesktopApp(argc, argv);
}
