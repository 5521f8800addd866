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
// makes the chosen device the default input for the length of a recording,
// because the capture always records the default input.
//
// Threading: main thread, except that observers run on whichever thread
// changed the list or the choice (a preference written elsewhere counts).
// Both dependencies must outlive the manager.
class MicrophoneManager
{
public:
    using Observer = std::function<void()>;
    using ObserverToken = std::uint64_t;

    static constexpr const char* kSelectedMicKey = "selectedMicUID";
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

    // Saves the current default input, then makes the chosen device the default.
    // True when the chosen device (or, with the automatic choice, the current
    // default) is in effect; false when the chosen device is not in the cached
    // list or the switch failed.
    bool applyBeforeRecording();

    // Puts back the default input saved by the last applyBeforeRecording(), once.
    void restoreAfterRecording();

    // Told whenever the device list is refreshed or the choice changes.
    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

private:
    void announceChange();

    AudioDevices& m_audioDevices;
    Preferences& m_preferences;
    std::vector<MicDevice> m_devices;
    // PulseAudio numbers sources from 0, so "nothing saved" cannot be a zero id.
    std::optional<std::uint32_t> m_savedDefaultID;
    Preferences::ObserverToken m_preferenceObserver = 0;

    ObserverList<> m_observers;
};

} // namespace quillo
