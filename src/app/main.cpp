// The composition root: builds the Linux implementations and hands them to the
// core. Nothing else in the program constructs a platform class.

#include <cstdio>
#include <string>
#include <vector>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QSocketNotifier>

#include "app/CommandLine.h"
#include "app/Pipeline.h"
#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "base/AppId.h"
#include "base/NotificationCenter.h"
#include "dictation/AppDelegate.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyStore.h"
#include "output/PasteManager.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/LinuxPermissions.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/ThreadExecutor.h"
#include "platform/linux/WaylandSession.h"
#include "platform/linux/WaylandWorkspace.h"
#include "platform/linux/X11KeyEventSource.h"
#include "platform/linux/X11SyntheticKeys.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeySynthesizer.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "platform/linux/XdgPaths.h"
#include "platform/qt/QtAtSpiTextDeliveryCheck.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtDBusControlService.h"
#include "platform/qt/QtDBusNotifier.h"
#include "platform/qt/QtKeyEventPump.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtPortalGlobalShortcuts.h"
#include "platform/qt/QtPortalRemoteDesktopKeys.h"
#include "platform/qt/QtWebSocket.h"
#include "platform/qt/WlClipboard.h"
#include "platform/qt/WtypeKeySynthesizer.h"
#include "platform/qt/X11Desktop.h"
#include "store/KeptDictations.h"
#include "streaming/DeepgramLiveStreamer.h"
#include "transcription/KeptRetry.h"
#include "transcription/KeyCheck.h"
#include "ui/main/AppNavState.h"
#include "ui/main/MainWindowView.h"
#include "ui/settings/KeyNames.h"
#include "ui/shell/KeysHelp.h"
#include "ui/shell/MainWindowController.h"
#include "ui/shell/QtAlert.h"
#include "ui/shell/RecordingIndicatorWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/TrayStatusItem.h"

namespace {

// The running instance's side of runKeptCommand.
void answerKeptCommand(quillo::AppDelegate& delegate,
                       const QByteArray& request,
                       const std::function<void(const QByteArray&)>& answer)
{
    const auto reply = [answer](int status, const std::string& out, const std::string& err) {
        // One line, whatever bytes the texts hold.
        const nlohmann::json message{{"status", status}, {"out", out}, {"err", err}};
        answer(QByteArray::fromStdString(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
    };
    const auto parsed = nlohmann::json::parse(request.toStdString(), nullptr, false);
    std::vector<std::string> args;
    if (parsed.is_object() && parsed.contains("args") && parsed["args"].is_array()) {
        for (const auto& arg : parsed["args"]) {
            args.push_back(arg.is_string() ? arg.get<std::string>() : std::string());
        }
    }
    const std::string name = parsed.is_object() ? parsed.value("command", "") : "";
    delegate.runKeptCommand(name, args, reply);
}

// ------------------------------------------------------------ the desktop app

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

// A file installed with the program under <prefix>/share; empty for a
// development build, which has none.
QString installedFile(const QString& relativePath)
{
    const QFileInfo file(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + relativePath);
    return file.exists() ? file.canonicalFilePath() : QString();
}

// The three actions for the GlobalShortcuts portal, each suggesting the
// first key bound to it in Settings (as an XDG shortcut trigger, where the key
// has a name there).
std::vector<quillo::QtPortalGlobalShortcuts::Shortcut> portalShortcuts(quillo::Preferences& preferences)
{
    static const std::map<int, const char*> kTriggers = {{54, "Super_R"},
                                                         {55, "Super_L"},
                                                         {58, "Alt_L"},
                                                         {59, "Control_L"},
                                                         {61, "Alt_R"},
                                                         {62, "Control_R"},
                                                         {96, "F5"},
                                                         {97, "F6"},
                                                         {98, "F7"},
                                                         {100, "F8"},
                                                         {101, "F9"},
                                                         {109, "F10"},
                                                         {103, "F11"},
                                                         {111, "F12"}};
    const quillo::HotkeyStore keys(preferences);
    const auto trigger = [](const std::vector<int>& codes) {
        const auto found = codes.empty() ? kTriggers.end() : kTriggers.find(codes.front());
        return found == kTriggers.end() ? std::string() : std::string(found->second);
    };
    return {{"hold", "Hold to record", trigger(keys.holdCodes())},
            {"toggle", "Hands-free toggle", trigger(keys.toggleCodes())},
            {"pasteLast", "Paste last", trigger(keys.pasteLastCodes())}};
}

// How long quitting waits for the dictations in flight.
constexpr std::chrono::seconds kQuitWait{10};

int runDesktopApp(int argc, char** argv)
{
    // Native on Wayland, with XWayland as the fallback, unless the user chose.
    const bool wayland = quillo::isWaylandSession();
    if (wayland && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLO_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(quillo::kAppId));
    quillo::setRightAltIsAltGrProbe(quillo::x11RightAltIsAltGr);
    QApplication::setWindowIcon(quillo::TrayStatusItem::appIcon());
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

    // Settings, history, service keys and the transcription pipeline.
    quillo::Pipeline pipeline;
    auto& fileSystem = pipeline.fileSystem;
    auto& log = pipeline.log;
    auto& clock = pipeline.clock;
    auto& preferences = pipeline.preferences;
    auto& store = pipeline.store;
    auto& credentials = pipeline.credentials;
    credentials.load(); // the keys saved in the desktop's keyring

    // Desktop.
    quillo::QtMainQueue mainQueue;
    quillo::QtDBusNotifier notifier;
    quillo::X11Workspace x11Workspace;
    quillo::WaylandWorkspace waylandWorkspace;
    quillo::Workspace& workspace = wayland ? static_cast<quillo::Workspace&>(waylandWorkspace) : x11Workspace;
    quillo::TrayStatusItem statusItem;
    quillo::QtAlert alert;
    quillo::LinuxPermissions permissions;
    quillo::QtPortalGlobalShortcuts portalKeys(log);
    permissions.setShortcutsPortal(wayland && portalKeys.isAvailable());
    quillo::NotificationCenter notificationCenter;

    quillo::KeptDictationStore keptDictations(fileSystem, log, clock, quillo::keptDirectory());
    // Entries that the last session could not save into the history file.
    for (const auto& entry : keptDictations.takeHistoryEntries()) {
        store.addEntryMadeAt(entry.date(), entry.text(), entry.duration(), entry.appBundleID(), entry.appName());
    }
    store.addSaveFailureObserver([&mainQueue, &notifier](const std::string& message) {
        mainQueue.post([&notifier, message] { notifier.notify("Quillo Could Not Save", message); });
    });
    // Paste. A Wayland compositor gives the clipboard and the keyboard only to
    // the window in front, which Quillo's is not: there the tools made for
    // this do it.
    std::unique_ptr<quillo::Clipboard> clipboard;
    // What Quillo types itself, so the key monitor does not take it for the user's keys.
    quillo::X11SyntheticKeys ownKeys;
    std::unique_ptr<quillo::KeySynthesizer> virtualKeyboard;
    std::unique_ptr<quillo::KeySynthesizer> keySynthesizer;
    if (wayland) {
        clipboard = std::make_unique<quillo::WlClipboard>();
        // The desktop's remote keyboard where it grants one (GNOME, KDE), the
        // virtual keyboard of wlroots desktops meanwhile and elsewhere.
        virtualKeyboard = std::make_unique<quillo::WtypeKeySynthesizer>(log);
        auto remoteKeys = std::make_unique<quillo::QtPortalRemoteDesktopKeys>(log, preferences, *virtualKeyboard);
        if (remoteKeys->start()) {
            keySynthesizer = std::move(remoteKeys);
        } else {
            keySynthesizer = std::move(virtualKeyboard);
        }
    } else {
        clipboard = std::make_unique<quillo::QtClipboard>();
        keySynthesizer = std::make_unique<quillo::XTestKeySynthesizer>(nullptr, &ownKeys);
    }
    quillo::QtAtSpiTextDeliveryCheck deliveryCheck;
    quillo::PasteManager paster({*clipboard, *keySynthesizer, mainQueue, workspace, preferences, deliveryCheck, log});

    // Microphone and keys.
    auto pulse = std::make_shared<quillo::PulseConnection>();
    quillo::PulseAudioDevices audioDevices(pulse);
    quillo::MicrophoneManager microphones(audioDevices, preferences);
    // The recording and its live stream capture from the microphone the
    // manager chose for the recording in progress.
    quillo::PulseAudioCapture audioCapture(pulse, [&microphones] { return microphones.recordingSource(); });
    quillo::QtWebSocketConnector webSockets;
    quillo::DeepgramLiveStreamerFactory streamers(preferences,
                                                  {webSockets, audioCapture, credentials, pipeline.endpoints});
    quillo::FfmpegAudioFileWriter audioFileWriter;
    quillo::XdgAutostartLoginItem loginItem(fileSystem,
                                            quillo::xdg::autostartDirectory(),
                                            quillo::XdgAutostartLoginItem::runningExecutable());
    if (!installedFile(QStringLiteral("applications/%1.desktop").arg(QString::fromLatin1(quillo::kAppId))).isEmpty()) {
        loginItem.startThisProgram(); // not a development build that was registered earlier
    }

    // After everything its screens observe (the store, the preferences, the
    // microphones), so the window goes first.
    quillo::AppNavState navState;
    std::weak_ptr<quillo::AppDelegate> controller; // set once it exists, before the window is first made
    quillo::MainWindowController mainWindow(
        preferences,
        [&] {
            auto* view = new quillo::MainWindowView(
                {store,
                 navState,
                 clock,
                 preferences,
                 microphones,
                 loginItem,
                 credentials,
                 pipeline.localSpeech.modelName(),
                 [&paster]() -> std::optional<quillo::PasteReport> {
                     if (paster.reports().empty()) {
                         return std::nullopt;
                     }
                     return paster.reports().back();
                 },
                 &keptDictations,
                 [&controller](const std::string& id) {
                     if (auto delegate = controller.lock()) {
                         delegate->retryKept(id);
                     }
                 },
                 [&controller](const std::string& id) {
                     if (auto delegate = controller.lock()) {
                         delegate->deleteKept(id);
                     }
                 },
                 &pipeline.localSpeech,
                 &credentials,
                 [&pipeline](quillo::DictationError::Service service, const std::string& key) {
                     return quillo::checkServiceKey(pipeline.http, pipeline.endpoints, service, key);
                 }});
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
        pipeline.transcriber,
        store,
        keptDictations,
        paster,
        streamers,
        quillo::xdg::recordingsDirectory(),
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
                [&pipeline](const std::string& path) { return pipeline.transcriber.hearRecording(path); },
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
        [] {
            return std::make_unique<quillo::RecordingIndicatorWindow>(
                quillo::RecordingIndicatorWindow::Desktop{quillo::isX11CompositorRunning,
                                                          quillo::x11FocusedWindowCentre});
        },
        [] { QCoreApplication::quit(); },
    });

    controller = delegate;
    // The same actions as the keys, for the desktop's shortcuts and scripts.
    const auto command = [&delegate](quillo::HotkeyControl::Command which) {
        return [&delegate, which] { return delegate->runCommand(which); };
    };
    using Command = quillo::HotkeyControl::Command;
    quillo::QtDBusControlService control({command(Command::start),
                                          command(Command::stop),
                                          command(Command::toggle),
                                          command(Command::cancel),
                                          command(Command::pasteLast)});
    delegate->setStateObserver([&control](quillo::AppDelegate::IconState state) {
        control.setState(std::string(quillo::AppDelegate::stateName(state)));
    });
    singleInstance.listen([&delegate] { delegate->applicationShouldHandleReopen(); },
                          [&delegate](const QByteArray& request, std::function<void(const QByteArray&)> answer) {
                              answerKeptCommand(*delegate, request, answer);
                          });
    delegate->applicationDidFinishLaunching();
    if (const auto problem = control.publish()) {
        log.write("[Quillo] The control commands will not reach this Quillo: " + *problem);
    }
    // On Wayland the keys come from the desktop's GlobalShortcuts portal, where
    // it has one, and act like the commands.
    if (wayland && !portalKeys.start(portalShortcuts(preferences), [&delegate](const std::string& id, bool pressed) {
            if (id == "hold") {
                delegate->runCommand(pressed ? Command::start : Command::stop);
            } else if (pressed) {
                delegate->runCommand(id == "toggle" ? Command::toggle : Command::pasteLast);
            }
        })) {
        log.write("[Quillo] No global shortcuts portal: bind quillo toggle, start and stop to desktop shortcuts");
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
    // The dictations in flight get a bounded wait. What cannot finish by then
    // is kept for a retry rather than holding the exit up for a network timeout.
    const auto deadline = std::chrono::steady_clock::now() + kQuitWait;
    while (delegate->isBusy() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The history file may still lack entries whose save failed: one more
    // try, else they wait in the kept folder for the next launch.
    if (!store.saveHistoryNow()) {
        keptDictations.keepHistoryEntries(store.unsavedEntries());
    }
    if (delegate->isBusy()) {
        const auto kept = delegate->keepUnfinishedDictations();
        log.write("[Quillo] Quit with " + std::to_string(kept) + " dictation(s) unfinished; kept for a retry.");
        delegate.reset();
        std::fflush(nullptr);
        // The tasks still waiting on the network would hold the exit (the
        // executor joins them) for as long as their timeouts. Everything is
        // saved or kept by now, so leave without them.
        std::_Exit(status);
    }
    delegate.reset(); // on the main thread: no task holds it
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = quillo::runCommandLine(argc, argv)) {
        return *status;
    }
    return runDesktopApp(argc, argv);
}
