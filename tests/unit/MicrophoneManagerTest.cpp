#include <optional>
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
const MicDevice kHeadset{"bluez_input.headset", "bluez_input.headset", "Headset", 9};

class MicrophoneManagerTest : public ::testing::Test
{
protected:
    MicrophoneManagerTest()
    {
        audio.devices = {kDesk, kBuiltIn, kHeadset};
        audio.defaultID = kBuiltIn.deviceID;
    }

    FakeAudioDevices audio;
    FakePreferences preferences;
};

TEST_F(MicrophoneManagerTest, ApplyAndRestoreForEachChoice)
{
    struct Case
    {
        const char* name;
        std::optional<std::string> stored; // "selectedMicUID"; nothing = never set
        bool unplugAfterRefresh;
        bool expectApplied;
        std::vector<std::uint32_t> switchesDuringApply;
        std::uint32_t defaultDuringRecording;
    };
    const Case cases[] = {
        {"no choice stored", std::nullopt, false, true, {}, kBuiltIn.deviceID},
        {"automatic (empty)", "", false, true, {}, kBuiltIn.deviceID},
        {"chosen device present", kDesk.uid, false, true, {kDesk.deviceID}, kDesk.deviceID},
        {"choice is the default already, index 0", kBuiltIn.uid, false, true, {0}, kBuiltIn.deviceID},
        {"chosen device unknown", "usb-gone", false, false, {}, kBuiltIn.deviceID},
        {"unplugged after the last refresh", kDesk.uid, true, false, {kDesk.deviceID}, kBuiltIn.deviceID},
    };
    for (const auto& c : cases) {
        FakeAudioDevices server;
        server.devices = audio.devices;
        server.defaultID = kBuiltIn.deviceID;
        FakePreferences prefs;
        if (c.stored) {
            prefs.setObject("selectedMicUID", *c.stored);
        }
        MicrophoneManager manager(server, prefs);
        if (c.unplugAfterRefresh) {
            server.unplug(kDesk.uid);
        }

        EXPECT_EQ(manager.applyBeforeRecording(), c.expectApplied) << c.name;
        EXPECT_EQ(server.switches, c.switchesDuringApply) << c.name;
        EXPECT_EQ(server.defaultID, c.defaultDuringRecording) << c.name;

        manager.restoreAfterRecording();
        EXPECT_EQ(server.defaultID, kBuiltIn.deviceID) << c.name << ": the default from before the recording is back";
        EXPECT_EQ(server.switches.back(), kBuiltIn.deviceID) << c.name << ": restore always sets the saved default";
    }
}

TEST_F(MicrophoneManagerTest, RestoreBringsBackTheStartDefaultOnceOnlyAndNeverAnUnknownOne)
{
    preferences.setObject("selectedMicUID", kDesk.uid);
    MicrophoneManager manager(audio, preferences);

    manager.restoreAfterRecording();
    EXPECT_TRUE(audio.switches.empty()) << "nothing was saved yet";

    ASSERT_TRUE(manager.applyBeforeRecording());
    audio.defaultID = kHeadset.deviceID; // the user picks another default mid-recording
    manager.restoreAfterRecording();
    EXPECT_EQ(audio.defaultID, kBuiltIn.deviceID) << "the default from when the recording began wins";

    audio.defaultID = kHeadset.deviceID;
    manager.restoreAfterRecording();
    EXPECT_EQ(audio.defaultID, kHeadset.deviceID) << "a second restore does nothing";

    audio.defaultID.reset();
    audio.switches.clear();
    EXPECT_TRUE(manager.applyBeforeRecording());
    manager.restoreAfterRecording();
    EXPECT_EQ(audio.switches, (std::vector<std::uint32_t>{kDesk.deviceID})) << "an unreadable default is not restored";
}

TEST_F(MicrophoneManagerTest, AutomaticLabelNamesOnlyACachedDefault)
{
    MicrophoneManager manager(audio, preferences);
    EXPECT_EQ(manager.automaticLabel(), "Automatic (Built-in Microphone)");

    audio.defaultID.reset();
    EXPECT_EQ(manager.automaticLabel(), "Automatic (system default)");

    audio.devices.push_back({"usb-new", "usb-new", "New Mic", 77});
    audio.defaultID = 77;
    EXPECT_EQ(manager.automaticLabel(), "Automatic (system default)") << "not in the cached list yet";
    manager.refreshDevices();
    EXPECT_EQ(manager.automaticLabel(), "Automatic (New Mic)");
}

TEST_F(MicrophoneManagerTest, ObserversHearChoicesMadeThroughTheStoreAndRefreshes)
{
    MicrophoneManager manager(audio, preferences);
    int changes = 0;
    const auto token = manager.addObserver([&] { ++changes; });

    manager.setSelectedUID(kDesk.uid);
    EXPECT_EQ(preferences.stringForKey("selectedMicUID"), kDesk.uid);
    // The dictation controller resets a missing device through the store.
    preferences.setObject("selectedMicUID", "");
    preferences.setObject("quillo.streamingEnabled", false);
    manager.refreshDevices();
    EXPECT_EQ(changes, 3) << "other keys are not the microphone's business";

    preferences.setObject("selectedMicUID", 42);
    EXPECT_EQ(manager.selectedUID(), "") << "a non-string value reads as automatic";

    manager.removeObserver(token);
    manager.setSelectedUID(kHeadset.uid);
    EXPECT_EQ(changes, 4);
}

} // namespace
} // namespace quillo::test
