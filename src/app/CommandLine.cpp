#include "app/CommandLine.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <QCoreApplication>

#include "app/Pipeline.h"
#include "app/cli/ControlCommand.h"
#include "app/cli/DoctorCommand.h"
#include "app/cli/StoreCommands.h"
#include "app/cli/TranscribeCommand.h"
#include "audio/MicrophoneManager.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/XdgPaths.h"
#include "platform/qt/QtDBusControlClient.h"
#include "platform/qt/QtDesktopProbe.h"
#include "store/KeptDictations.h"
#include "transcription/KeptRetry.h"
#include "ui/shell/SingleInstance.h"

namespace quillo {

std::string keptDirectory()
{
    return xdg::dataDirectory() + "/" + KeptDictationStore::kDirectoryName;
}

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
              "             transcribe and clean up one recording and print the text\n"
              "  doctor [--listen] [--online]\n"
              "             check what dictation needs on this machine and say what is missing\n"
              "  pending [--json]\n"
              "             list the dictations kept because they could not be transcribed\n"
              "  retry --all | ID...\n"
              "             transcribe kept dictations again, add them to the history and print them\n"
              "\n"
              "Commands for the running Quillo (bind them to the desktop's own shortcuts):\n"
              "  start      start recording, as pressing the hold key does\n"
              "  stop       stop recording and paste, as releasing the hold key does\n"
              "  toggle     start or stop hands-free, as the hands-free key does\n"
              "  cancel     throw the recording in progress away; nothing is sent or pasted\n"
              "  paste-last paste the last dictation again\n"
              "  status     print what dictation is doing: idle, recording or processing");
}

// `quillo stats` and `quillo history`: the store loaded exactly as the app
// loads it, so they see (and set aside) the same files.
int runStoreCommand(int argc, char** argv)
{
    Pipeline pipeline;
    const std::vector<std::string> args(argv + 2, argv + argc);
    const auto command = std::strcmp(argv[1], "stats") == 0 ? commands::stats : commands::history;
    return command(pipeline.store, args, std::cout, std::cerr);
}

bool isStoreCommand(const char* name)
{
    return std::strcmp(name, "stats") == 0 || std::strcmp(name, "history") == 0;
}

// The dictation pipeline without the desktop, over the same settings, lists,
// service keys and offline model as the app.
int runTranscribeCommand(int argc, char** argv)
{
    Pipeline pipeline;
    TranscribeCommand command{pipeline.preferences, pipeline.transcriber};
    return command.run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

// Asks the session, the audio server and the services directly, so it works
// where the app would not start (no display, no tray, no Quillo running).
int runDoctorCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // for the D-Bus questions; no display needed
    PosixFileSystem fileSystem;
    StderrLog log;
    SystemClock clock;
    JsonPreferences preferences(fileSystem, log, clock, xdg::preferencesPath());
    auto pulse = std::make_shared<PulseConnection>();
    PulseAudioDevices audioDevices(pulse);
    // The level check records from the input a dictation would use.
    MicrophoneManager microphones(audioDevices, preferences);
    PulseAudioCapture audioCapture(pulse, [&microphones] {
        microphones.inputForRecording();
        return microphones.recordingSource();
    });
    QtDesktopProbe desktop(audioDevices);
    EnvironmentCredentials credentials(fileSystem, log, xdg::credentialsPath());
    EnvironmentEndpoints endpoints;
    CurlHttpClient http;
    PocketSphinxRecognizer recognizer;
    const std::string settings = xdg::preferencesPath();
    DoctorCommand command({desktop,
                           audioDevices,
                           audioCapture,
                           preferences,
                           credentials,
                           endpoints,
                           http,
                           recognizer,
                           {settings.substr(0, settings.rfind('/')), xdg::dataDirectory(), xdg::recordingsDirectory()},
                           {}});
    return command.run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

// `quillo pending` and `quillo retry`: done by the running Quillo when there
// is one, so that only one process ever writes the history.
int runKeptCommand(int argc, char** argv)
{
    const std::string name = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    const nlohmann::json request{{"command", name}, {"args", args}};
    if (const auto answer = SingleInstance::ask(SingleInstance::defaultSocketPath(), request.dump())) {
        auto parsed = nlohmann::json::parse(*answer, nullptr, false);
        if (!parsed.is_object()) {
            std::cerr << "The running Quillo did not answer.\n";
            return 1;
        }
        std::cout << parsed.value("out", "");
        std::cerr << parsed.value("err", "");
        return parsed.value("status", 1);
    }
    if (name == "pending") {
        PosixFileSystem fileSystem;
        StderrLog log;
        SystemClock clock;
        const KeptDictationStore kept(fileSystem, log, clock, keptDirectory());
        return commands::pending(kept, args, std::cout, std::cerr);
    }
    Pipeline pipeline;
    KeptDictationStore kept(pipeline.fileSystem, pipeline.log, pipeline.clock, keptDirectory());
    return commands::retry(kept, pipeline.transcriber, pipeline.store, args, std::cout, std::cerr);
}

// `quillo start`, `quillo status` and the rest: asked of the running Quillo
// over the session bus, which never starts one.
int runControlCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // for the session bus; no display needed
    QtDBusControlClient client;
    return commands::control(client, argv[1], std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

} // namespace

std::optional<int> runCommandLine(int argc, char** argv)
{
    if (argc >= 2 && isStoreCommand(argv[1])) {
        return runStoreCommand(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "transcribe") == 0) {
        return runTranscribeCommand(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "doctor") == 0) {
        return runDoctorCommand(argc, argv);
    }
    if (argc >= 2 && (std::strcmp(argv[1], "pending") == 0 || std::strcmp(argv[1], "retry") == 0)) {
        return runKeptCommand(argc, argv);
    }
    if (argc >= 2 && commands::isControlCommand(argv[1])) {
        return runControlCommand(argc, argv);
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
    return std::nullopt;
}

} // namespace quillo
