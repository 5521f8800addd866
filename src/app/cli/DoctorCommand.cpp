#include "app/cli/DoctorCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "audio/MicrophoneManager.h"
#include "base/DictationResult.h"
#include "platform/AudioCapture.h"
#include "platform/AudioDevices.h"
#include "platform/Credentials.h"
#include "platform/DesktopProbe.h"
#include "platform/HttpClient.h"
#include "platform/ServiceEndpoints.h"
#include "platform/SpeechRecognizer.h"
#include "transcription/EngineRouting.h"
#include "transcription/ProviderHttp.h"

namespace quillo {

namespace {

constexpr const char* kUsage = "Usage: quillo doctor [--listen] [--online]\n";

// Below this peak (about -60 dBFS) a microphone hears nothing a recogniser could use.
constexpr int kSilentPeak = 33;

std::string octal(std::uint32_t mode)
{
    std::ostringstream text;
    text << '0' << std::oct << std::setw(3) << std::setfill('0') << (mode & 0777);
    return text.str();
}

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

// What an answer to a deliberately empty request says about the key: the
// services check the key before the body, so anything but these means the
// key was accepted.
DoctorCommand::Check serviceAnswer(DoctorCommand::Check check, int status, const std::string& keyName)
{
    const std::string code = "HTTP " + std::to_string(status);
    if (status == 401 || status == 403) {
        check.finding = "the key is rejected (" + code + ")";
        check.advice = "Check " + keyName + " in the environment or in credentials.json";
    } else if (status == 402 || status == 429) {
        check.finding = "the account is out of credit or rate-limited (" + code + ")";
        check.advice = "Check the account's usage and billing with the service";
    } else if (status >= 500) {
        check.finding = "the service reports an error (" + code + ")";
        check.advice = "Try again later";
    } else {
        check.ok = true;
        check.finding = "answers, and accepts the key";
    }
    return check;
}

} // namespace

DoctorCommand::DoctorCommand(Dependencies dependencies) : m_deps(std::move(dependencies))
{
    if (!m_deps.wait) {
        m_deps.wait = [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); };
    }
}

int DoctorCommand::run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool listen = false;
    bool online = false;
    for (const auto& arg : args) {
        if (arg == "--listen") {
            listen = true;
        } else if (arg == "--online") {
            online = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage << "Checks what dictation needs on this machine, one line each.\n"
                << "  --listen  record the chosen microphone for one second and report its level\n"
                << "  --online  ask each service whose key is configured whether it answers\n";
            return 0;
        } else {
            err << "quillo doctor: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
    }

    std::vector<std::string> blocking;
    for (const Check& check : checks(listen, online)) {
        out << (check.ok ? "\u2713 " : "\u2717 ") << check.name << ": " << check.finding;
        if (!check.ok && !check.advice.empty()) {
            out << " \u2014 " << check.advice;
        }
        out << "\n";
        if (!check.ok && check.required) {
            blocking.push_back(check.name);
        }
    }
    if (blocking.empty()) {
        out << "Quillo can dictate on this machine.\n";
    } else {
        out << "Quillo cannot dictate until this is fixed: " << joined(blocking) << ".\n";
    }
    if (!listen || !online) {
        out << "Add " << (listen ? "" : "--listen to test the microphone's level") << (!listen && !online ? ", " : "")
            << (online ? "" : "--online to ask the services") << ".\n";
    }
    return blocking.empty() ? 0 : 1;
}

std::vector<DoctorCommand::Check> DoctorCommand::checks(bool listen, bool online)
{
    std::vector<Check> result{sessionCheck()};
    for (Check& check : audioChecks(listen)) {
        result.push_back(std::move(check));
    }

    const auto tray = m_deps.desktop.trayHost();
    result.push_back({"Tray",
                      tray.has_value(),
                      false,
                      tray.value_or("no tray on this desktop"),
                      "Quillo works from its window; on GNOME, add the AppIndicator extension to get the tray icon"});
    const auto notifications = m_deps.desktop.notificationServer();
    result.push_back({"Notifications",
                      notifications.has_value(),
                      false,
                      notifications.value_or("no notification service answers"),
                      "Quillo's error messages will not be shown; start your desktop's notification service"});
    const bool accessibility = m_deps.desktop.accessibilityBus();
    result.push_back({"Accessibility bus",
                      accessibility,
                      false,
                      accessibility ? "available" : "not available",
                      "Quillo cannot tell whether pasted text arrived; install at-spi2-core"});

    for (Check& check : serviceChecks(online)) {
        result.push_back(std::move(check));
    }
    result.push_back(folderCheck("Settings folder", m_deps.folders.settings));
    result.push_back(folderCheck("Data folder", m_deps.folders.data));
    result.push_back(folderCheck("Recordings folder", m_deps.folders.recordings));
    return result;
}

DoctorCommand::Check DoctorCommand::sessionCheck()
{
    using Kind = DesktopProbe::Session::Kind;
    const auto session = m_deps.desktop.session();
    Check check{"Session", false, true, "", ""};
    switch (session.kind) {
    case Kind::none:
        check.finding = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        check.advice = "Run quillo doctor in a terminal inside your desktop session";
        return check;
    case Kind::wayland:
        // The keys are the desktop's own shortcuts running Quillo's commands;
        // what must be there is the means to paste.
        check.ok = session.missingTools.empty();
        check.finding =
            "Wayland (" + session.display +
            "), desktop portals: " + (session.portals.empty() ? std::string("none") : joined(session.portals)) +
            (check.ok ? "; pastes with wl-clipboard and wtype" : "; missing " + joined(session.missingTools)) +
            "; hotkeys: bind quillo toggle (or start/stop) to a desktop shortcut";
        check.advice = "Install what pastes on Wayland: sudo apt install wl-clipboard wtype";
        return check;
    case Kind::x11:
        break;
    }
    if (!session.reachable) {
        check.finding = "cannot open the X display " + session.display;
        check.advice = "Check DISPLAY, or run quillo doctor inside your desktop session";
        return check;
    }
    const bool xinput = session.xinputMajor > 2 || (session.xinputMajor == 2 && session.xinputMinor >= 2);
    check.ok = xinput && session.xtest;
    check.finding = "X11 on " + session.display + ", " +
                    (session.xinputMajor > 0
                         ? "XInput " + std::to_string(session.xinputMajor) + "." + std::to_string(session.xinputMinor)
                         : std::string("no XInput")) +
                    (xinput ? "" : " (2.2 needed)") + ", " + (session.xtest ? "XTest" : "no XTest");
    check.advice = "Quillo sees its keys through XInput 2.2 and types the paste through XTest, which every stock "
                   "Xorg server has; use a local Xorg session";
    return check;
}

std::vector<DoctorCommand::Check> DoctorCommand::audioChecks(bool listen)
{
    const auto server = m_deps.desktop.audioServer();
    if (!server) {
        return {{"Audio server",
                 false,
                 true,
                 "none answers",
                 "Start PipeWire's PulseAudio service (systemctl --user start pipewire-pulse) or PulseAudio "
                 "(pulseaudio --start)"}};
    }
    std::vector<Check> result{{"Audio server", true, true, *server, ""}};

    MicrophoneManager microphones(m_deps.audioDevices, m_deps.preferences);
    const auto& devices = microphones.devices();
    if (devices.empty()) {
        result.push_back({"Microphones",
                          false,
                          true,
                          "none found",
                          "Connect a microphone, and check it is not disabled in the sound settings"});
        return result;
    }
    const auto defaultID = m_deps.audioDevices.defaultInputID();
    const auto byID = std::find_if(devices.begin(), devices.end(), [&](const MicDevice& device) {
        return defaultID && device.deviceID == *defaultID;
    });
    const std::string uid = microphones.selectedUID();
    const auto chosen =
        std::find_if(devices.begin(), devices.end(), [&](const MicDevice& device) { return device.uid == uid; });
    std::string finding = std::to_string(devices.size()) + (devices.size() == 1 ? " input" : " inputs") +
                          "; default: " + (byID != devices.end() ? byID->name : std::string("none"));
    if (uid.empty()) {
        finding += "; chosen: automatic";
    } else if (chosen != devices.end()) {
        finding += "; chosen: " + chosen->name;
    } else {
        finding += "; chosen: " + uid + " (not connected, so the default is used)";
    }
    result.push_back({"Microphones", true, true, finding, ""});

    if (listen) {
        const bool useChosen = !uid.empty() && chosen != devices.end();
        result.push_back(listenCheck(useChosen ? chosen->name : byID != devices.end() ? byID->name : "the default"));
    }
    return result;
}

DoctorCommand::Check DoctorCommand::listenCheck(const std::string& micName)
{
    Check check{"Microphone level", false, true, "", ""};
    // Records exactly as a dictation does: from the input the microphone
    // manager chooses (the capture asks it which).
    MicrophoneManager microphones(m_deps.audioDevices, m_deps.preferences);
    microphones.inputForRecording();

    std::mutex mutex; // guards peak and samples, written on the capture thread
    int peak = 0;
    std::size_t samples = 0;
    auto stream = m_deps.audioCapture.start(AudioFormat{SpeechRecognizer::kSampleRate, 1},
                                            [&](std::span<const std::int16_t> block) {
                                                std::lock_guard lock(mutex);
                                                for (const std::int16_t sample : block) {
                                                    peak = std::max(peak, std::abs(static_cast<int>(sample)));
                                                }
                                                samples += block.size();
                                            });
    const bool started = stream != nullptr;
    if (stream) {
        m_deps.wait(kListenTime);
        stream->stop();
        stream.reset();
    }

    std::lock_guard lock(mutex);
    std::ostringstream level;
    level << std::fixed << std::setprecision(0) << 20.0 * std::log10(std::max(peak, 1) / 32768.0);
    if (!started) {
        check.finding = "cannot record from " + micName;
        check.advice = "Check that no other program holds the microphone exclusively, then try again";
    } else if (samples == 0) {
        check.finding = "no sound arrived from " + micName + " in " +
                        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kListenTime).count()) + " s";
        check.advice = "Check the microphone in the sound settings (muted, suspended or used exclusively by "
                       "another program?)";
    } else if (peak < kSilentPeak) {
        check.finding = "only silence from " + micName + " (peak " + level.str() + " dBFS)";
        check.advice = "Unmute the microphone or raise its input volume, and speak while the check runs";
    } else {
        check.ok = true;
        check.finding = "peak " + level.str() + " dBFS from " + micName;
    }
    return check;
}

DoctorCommand::Check DoctorCommand::modelCheck(bool needed)
{
    Check check{"Offline model", false, needed, "", ""};
    try {
        const auto report = m_deps.recognizer.load();
        std::ostringstream finding;
        finding << m_deps.recognizer.modelName() << ", loads in " << std::fixed << std::setprecision(1)
                << report.seconds << " s";
        check.ok = true;
        check.finding = finding.str();
    } catch (const std::exception& error) {
        check.finding = "not usable";
        check.advice = error.what();
        if (!needed) {
            check.advice += " (it is only used when a service key is missing)";
        }
    }
    return check;
}

std::vector<DoctorCommand::Check> DoctorCommand::serviceChecks(bool online)
{
    const ConfiguredKeys keys = ConfiguredKeys::of(m_deps.credentials);
    const LanguageSet languages = QuilloLanguage::enabled(m_deps.preferences);
    const EngineRoute route = routeDictation(TranscriptionEngine::current(m_deps.preferences), languages, keys);

    std::vector<Check> result{modelCheck(route.speech == TranscriptionEngine::local)};
    const auto state = [](bool configured) { return configured ? "configured" : "not configured"; };
    result.push_back({"Service keys",
                      true,
                      false,
                      std::string("OpenAI ") + state(keys.openAI) + ", Deepgram " + state(keys.deepgram) + ". " +
                          engineStatusLine(route, languages),
                      ""});
    if (!online) {
        return result;
    }

    struct Service
    {
        const char* name;
        bool configured;
        TranscriptionEngine engine;
        std::function<std::string()> url;
        std::string authorization;
        const char* keyName;
        const char* baseVariable;
    };
    const Service services[] = {
        {"OpenAI",
         keys.openAI,
         TranscriptionEngine::openai,
         [&] { return openAIURL(m_deps.endpoints.openAIBase(), "/chat/completions"); },
         "Bearer " + m_deps.credentials.openAIKey().value_or(""),
         "OPENAI_API_KEY",
         "QUILLO_OPENAI_BASE_URL"},
        {"Deepgram",
         keys.deepgram,
         TranscriptionEngine::deepgram,
         [&] { return deepgramListenURL(m_deps.endpoints.deepgramBase()); },
         "Token " + m_deps.credentials.deepgramKey().value_or(""),
         "DEEPGRAM_API_KEY",
         "QUILLO_DEEPGRAM_BASE_URL"},
    };
    for (const Service& service : services) {
        if (!service.configured) {
            continue;
        }
        // A failing service blocks dictation only when it is the one that
        // turns the speech into text; clean-up falls back to the raw text.
        Check check{service.name, false, route.speech == service.engine, "", ""};
        HttpRequest request;
        try {
            // The same URL rules as dictation: a bad or unencrypted address is
            // reported, and the key is never sent to it.
            request.url = service.url();
        } catch (const DictationError& error) {
            check.finding = error.what();
            check.advice = std::string("Check ") + service.baseVariable;
            result.push_back(std::move(check));
            continue;
        }
        request.headers = {{"Authorization", service.authorization}, {"Content-Type", "application/json"}};
        request.body = "{}";
        request.answerTimeout = std::chrono::seconds(15);
        try {
            const HttpResponse response = m_deps.http.post(request);
            result.push_back(serviceAnswer(std::move(check), response.status, service.keyName));
        } catch (const TransportError& error) {
            check.finding = "cannot be reached (" + std::string(error.what()) + ")";
            check.advice = "Check the network connection and any proxy";
            result.push_back(std::move(check));
        }
    }
    return result;
}

DoctorCommand::Check DoctorCommand::folderCheck(const std::string& name, const std::string& path)
{
    const auto folder = m_deps.desktop.folder(path);
    Check check{name, false, true, "", ""};
    if (!folder.exists) {
        check.ok = folder.writable;
        check.finding = path + (folder.writable ? " does not exist yet; Quillo creates it when needed"
                                                : " does not exist and cannot be created");
        check.advice = "Make its parent folder writable for your user";
    } else if (!folder.isDirectory) {
        check.finding = path + " is not a folder";
        check.advice = "Move that file out of the way";
    } else if (!folder.ownedByUser || !folder.writable) {
        check.finding = path + " is not writable by you (" + octal(folder.mode) + ")";
        check.advice =
            folder.ownedByUser ? "Run: chmod 700 " + path : "Give it back to your user: sudo chown $USER " + path;
    } else if ((folder.mode & 077) != 0) {
        // Dictations and keys are private: a folder others can read still
        // works, but the user should know.
        check.required = false;
        check.finding = path + " can be read by other users (" + octal(folder.mode) + ")";
        check.advice = "Run: chmod 700 " + path;
    } else {
        check.ok = true;
        check.finding = path + " (" + octal(folder.mode) + ")";
    }
    return check;
}

} // namespace quillo
