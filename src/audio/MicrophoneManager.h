#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/MicDevice.h"
#include "base/ObserverList.h"
#include "platform/Preferences.h"

namespace quillo {

class AudioDevices;

// Lists the input devices, remembers the user's choice ("selectedMicUID") and
// names the input each recording captures from. The desktop's default input
// is never changed: switching it would move other programs' recordings along
// and make the audio server keep our choice as the user's own, so that newly
// plugged microphones stop becoming the default.
//
// Threading: main thread, except that observers run on whichever thread
// changed the list or the choice (a preference written elsewhere counts).
// Both dependencies must outlive the manager.
class MicrophoneManager
{
public:
    using Observer = std::function<void()>;
    using ObserverToken = std::uint64_t;

    static constexpr const char* kAutomaticLabel = "Automatic (system default)";

    // Enumerates the devices once; later only refreshDevices() does.
    MicrophoneManager(AudioDevices& audioDevices, Preferences& preferences);
    ~MicrophoneManager();

    MicrophoneManager(const MicrophoneManager&) = delete;
    MicrophoneManager& operator=(const MicrophoneManager&) = delete;

    // The cached list, in the order the audio server reports devices.
    const std::vector<MicDevice>& devices() const { return m_devices; }

    // The chosen device's uid; empty means the automatic choice (system default).
    std::string selectedUID() const;
    void setSelectedUID(const std::string& uid);

    void refreshDevices();

    // "Automatic (<name>)" when the current default input is in the cached list,
    // else "Automatic (system default)".
    std::string automaticLabel() const;

    struct RecordingInput
    {
        std::string source; // the device's uid; empty: the default input
        // The chosen device is missing and the user has not been told during
        // this absence yet.
        bool fellBack = false;
    };

    // Decides the input of the next recording: the chosen device when the
    // server has it now, looked up by uid (a device plugged back in gets a new
    // run-time id), else the default input. The choice itself is kept, so the
    // device is used again once it is back. Refreshes the cached list.
    RecordingInput inputForRecording();

    // The source the recording in progress captures from, as decided by the
    // last inputForRecording(); the live stream captures from the same one.
    const std::string& recordingSource() const { return m_recordingSource; }

    // Told whenever the device list is refreshed or the choice changes.
    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

private:
    void announceChange();

    AudioDevices& m_audioDevices;
    Preferences& m_preferences;
    std::vector<MicDevice> m_devices;
    std::string m_recordingSource;
    bool m_absenceReported = false; // the chosen device's absence was reported
    Preferences::ObserverToken m_preferenceObserver = 0;

    ObserverList<> m_observers;
};

} // namespace quillo
