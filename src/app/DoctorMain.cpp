#include "app/DoctorMain.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "app/cli/DoctorCommand.h"
#include "audio/MicrophoneManager.h"
#include "platform/linux/CurlHttpClient.h"
#include "platform/linux/EnvironmentCredentials.h"
#include "platform/linux/EnvironmentEndpoints.h"
#include "platform/linux/JsonPreferences.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/XdgPaths.h"
#include "platform/qt/QtDesktopProbe.h"

namespace quillo {

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

} // namespace quillo
