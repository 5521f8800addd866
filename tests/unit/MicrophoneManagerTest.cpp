#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/MicrophoneManager.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

// Index 0 is a real device here: PulseAudio numbers its sources from 0.
const MicDevice kBuiltIn{"alsa_input.pci-builtin", "alsa_input.pci-builtin", "Built-in Microphone", 0};
const MicDevice kDesk{"alsa_input.usb-desk", "alsa_input.usb-desk", "Desk Mic", 4};

TEST(MicrophoneManagerTest, RecordsFromTheChosenSourceByNameAndReportsEachAbsenceOnce)
{
    // Steps: "choose=<uid>", "unplug", "plug" (back, under a new run-time id),
    // "rec" (one recording: the source it used, "!" when it fell back).
    const std::pair<const char*, const char*> cases[] = {
        {"unknown choice falls back, reported once", "choose=usb-gone rec=! rec= rec="},
        {"unplugged and plugged back, twice",
         "choose=alsa_input.usb-desk unplug rec=! rec= plug rec=alsa_input.usb-desk unplug rec=! plug "
         "rec=alsa_input.usb-desk"},
        {"a new choice is reported afresh", "choose=usb-gone rec=! choose=usb-other rec=!"},
    };
    for (const auto& [name, script] : cases) {
        FakeAudioDevices server;
        server.devices = {kDesk, kBuiltIn};
        server.defaultID = kBuiltIn.deviceID;
        FakePreferences prefs;
        MicrophoneManager manager(server, prefs);
        std::istringstream steps(script);
        for (std::string step; steps >> step;) {
            if (step.rfind("choose=", 0) == 0) {
                manager.setSelectedUID(step.substr(7));
            } else if (step == "unplug") {
                std::erase_if(server.devices, [](const MicDevice& d) { return d.uid == kDesk.uid; });
            } else if (step == "plug") {
                MicDevice back = kDesk;
                back.deviceID += 100;
                server.devices.push_back(back);
            } else {
                const auto input = manager.inputForRecording();
                EXPECT_EQ("rec=" + (input.fellBack ? std::string("!") : input.source), step) << "case " << name;
                EXPECT_EQ(manager.recordingSource(), input.source) << "case " << name;
            }
        }
    }
}

} // namespace
} // namespace quillo::test
