#include "app/cli/DoctorCommand.h"

#include <functional>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "fakes/FakeAudio.h"
#include "fakes/FakeDesktopProbe.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/FakeLocalSpeech.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"

namespace quillo::test {
namespace {

// A healthy machine with two microphones and both keys; each test spoils it.
struct Machine
{
    Machine()
    {
        devices.devices = {{"mic1", "mic1", "Built-in Microphone", 1}, {"mic2", "mic2", "USB Headset", 2}};
        devices.defaultID = 1;
    }

    int run(const std::vector<std::string>& args)
    {
        std::ostringstream out;
        std::ostringstream err;
        DoctorCommand command({desktop,
                               devices,
                               capture,
                               preferences,
                               credentials,
                               endpoints,
                               http,
                               recognizer,
                               {"/home/u/.config/quillo", "/home/u/.local/share/Quillo", "/run/user/1000/quillo"},
                               [this](std::chrono::milliseconds) { capture.deliver(heard); }});
        const int status = command.run(args, out, err);
        output = out.str() + err.str();
        return status;
    }

    FakeDesktopProbe desktop;
    FakeAudioDevices devices;
    FakeAudioCapture capture{devices};
    FakePreferences preferences;
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    FakeHttpClient http;
    FakeSpeechRecognizer recognizer;
    std::vector<std::int16_t> heard{0, 1200, -5000, 300}; // peak about -16 dBFS
    std::string output;
};

using Kind = DesktopProbe::Session::Kind;
using Folder = DesktopProbe::Folder;

TEST(DoctorCommand, EachFindingDecidesWhetherDictationCanWork)
{
    // How the healthy machine is spoilt, the exit status, and the start of one report line.
    const std::vector<std::tuple<std::function<void(Machine&)>, int, std::string>> cases = {
        {[](Machine& t) {
             t.desktop.sessionInfo = {Kind::wayland, "wayland-0", false, 0, 0, false, {}, {"wtype"}};
         },
         1,
         "\u2717 Session: Wayland (wayland-0), desktop portals: none; missing wtype"},
        {[](Machine& t) { t.devices.devices.clear(); }, 1, "\u2717 Microphones: none found"},
        {[](Machine& t) { t.heard.assign(16000, 3); }, 1, "\u2717 Microphone level: only silence"},
        // With keys, dictation does not need the offline model.
        {[](Machine& t) { t.recognizer.failLoads = 1; }, 0, "\u2717 Offline model: not usable"},
        {[](Machine& t) {
             t.http.fallback = {{401, "{}"}, std::nullopt};
         },
         1,
         "\u2717 Deepgram: the key is rejected (HTTP 401)"},
        // Clean-up alone failing still lets dictation work.
        {[](Machine& t) { t.http.willFail(TransportError::Kind::cannotConnect); },
         0,
         "\u2717 OpenAI: cannot be reached"},
        {[](Machine& t) {
             t.desktop.folders["/home/u/.local/share/Quillo"] = Folder{true, true, true, true, 0755};
         },
         0,
         "\u2717 Data folder: /home/u/.local/share/Quillo can be read by other users (0755)"},
        {[](Machine& t) {
             t.desktop.folders["/home/u/.config/quillo"] = Folder{true, true, false, false, 0700};
         },
         1,
         "\u2717 Settings folder: /home/u/.config/quillo is not writable by you (0700)"},
    };
    for (const auto& [spoil, status, line] : cases) {
        Machine t;
        spoil(t);
        EXPECT_EQ(t.run({"--listen", "--online"}), status) << "case " << line << "\n" << t.output;
        EXPECT_NE(("\n" + t.output).find("\n" + line), std::string::npos) << "case " << line << ": not in\n"
                                                                          << t.output;
        EXPECT_EQ(t.output.find("sk-test-openai"), std::string::npos) << "case " << line << " shows a key";
    }
}

TEST(DoctorCommand, ListensAndAsksOnlyWhenTold)
{
    Machine m;
    EXPECT_EQ(m.run({}), 0);
    EXPECT_TRUE(m.capture.streams.empty()) << "no recording without --listen";
    EXPECT_TRUE(m.http.requests().empty()) << "nothing leaves the machine without --online";

    // The level check records as a dictation would, from the chosen microphone.
    m.preferences.setObject("selectedMicUID", "mic2");
    EXPECT_EQ(m.run({"--listen", "--online"}), 0) << m.output;
    ASSERT_EQ(m.capture.streams.size(), 1u);
    EXPECT_EQ(m.capture.streams[0]->inputAtStart, 1u);
}

} // namespace
} // namespace quillo::test
