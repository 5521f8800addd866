#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace quillo {

class AudioCapture;
class AudioDevices;
class Credentials;
class DesktopProbe;
class HttpClient;
class Preferences;
class ServiceEndpoints;
class SpeechRecognizer;

// `quillo doctor [--listen] [--online]`: checks, one line each, everything a
// dictation needs on this machine and says what to do about what is missing.
// It needs no running Quillo. Exit status 0 when a dictation can work, 1 when
// it cannot, 2 for a usage error.
class DoctorCommand
{
public:
    struct Folders
    {
        std::string settings;   // preferences and credentials
        std::string data;       // history and snippets
        std::string recordings; // recordings in flight
    };

    struct Dependencies
    {
        DesktopProbe& desktop;
        AudioDevices& audioDevices;
        AudioCapture& audioCapture;
        Preferences& preferences;
        Credentials& credentials;
        ServiceEndpoints& endpoints;
        HttpClient& http;
        SpeechRecognizer& recognizer;
        Folders folders;
        // Waits while the microphone is being listened to; tests replace it.
        std::function<void(std::chrono::milliseconds)> wait;
    };

    // One line of the report.
    struct Check
    {
        std::string name;
        bool ok = false;
        // A failed required check means no dictation can work.
        bool required = true;
        std::string finding;
        std::string advice; // what to do; only for a failed check
    };

    static constexpr std::chrono::milliseconds kListenTime{1000};

    explicit DoctorCommand(Dependencies dependencies);

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

    // The checks themselves, in report order.
    std::vector<Check> checks(bool listen, bool online);

private:
    Check sessionCheck();
    std::vector<Check> audioChecks(bool listen);
    Check listenCheck(const std::string& micName);
    Check modelCheck(bool needed);
    std::vector<Check> serviceChecks(bool online);
    Check folderCheck(const std::string& name, const std::string& path);

    Dependencies m_deps;
};

} // namespace quillo
