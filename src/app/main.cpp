// The composition root: builds the Linux implementations and hands them to the
// core. Nothing else in the program constructs a platform class.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>

#include "platform/linux/CurlHttpClient.h"
#include "platform/linux/EnvironmentCredentials.h"
#include "platform/linux/EnvironmentEndpoints.h"
#include "platform/linux/JsonPreferences.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/XdgPaths.h"
#include "store/DataStore.h"
#include "store/StoreCommands.h"
#include "transcription/OpenAIService.h"
#include "transcription/RemoteSpeechServices.h"
#include "transcription/TranscribeCommand.h"
#include "transcription/TranscriptRules.h"

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

// The dictation pipeline without the desktop, over the same settings, lists
// and service keys as the app.
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
    quillo::OpenAIService pipeline({preferences, fileSystem, clock, log, services, rules, store});
    quillo::TranscribeCommand command{preferences, pipeline};
    return command.run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
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

    quillo::PosixFileSystem fileSystem;
    quillo::StderrLog log;
    quillo::SystemClock clock;
    quillo::JsonPreferences preferences(fileSystem, log, clock, quillo::xdg::preferencesPath());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QLabel window(QStringLiteral("Quillo"));
    window.resize(1040, 700);
    window.show();
    return QApplication::exec();
}
