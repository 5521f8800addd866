// The composition root: builds the Linux implementations and hands them to the
// core. Nothing else in the program constructs a platform class.

#include <cstdio>
#include <cstring>
#include <string>

#include <QApplication>
#include <QLabel>

#include "platform/linux/JsonPreferences.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/XdgPaths.h"

namespace {

void printHelp()
{
    std::puts("Usage: quillo [OPTION]\n"
              "Push-to-talk dictation: hold a key, speak, let go, and the text is typed at the cursor.\n"
              "\n"
              "Options:\n"
              "  --help     show this help and exit\n"
              "  --version  show the version and exit");
}

} // namespace

int main(int argc, char** argv)
{
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
