#include "audio/MicrophoneManager.h"

#include <algorithm>
#include <utility>

#include "platform/AudioDevices.h"
#include "settings/Settings.h"

namespace quillo {

MicrophoneManager::MicrophoneManager(AudioDevices& audioDevices, Preferences& preferences)
    : m_audioDevices(audioDevices), m_preferences(preferences), m_devices(audioDevices.inputDevices())
{
    // The dictation controller resets the choice through the store directly,
    // so the store, not the setter, is what tells observers about a new choice.
    m_preferenceObserver = m_preferences.addObserver([this](const std::string& key) {
        if (key == setting::selectedMicrophone.key) {
            m_absenceReported = false;
            announceChange();
        }
    });
}

MicrophoneManager::~MicrophoneManager()
{
    m_preferences.removeObserver(m_preferenceObserver);
}

std::string MicrophoneManager::selectedUID() const
{
    return Settings(m_preferences).get(setting::selectedMicrophone);
}

void MicrophoneManager::setSelectedUID(const std::string& uid)
{
    EditableSettings(m_preferences).set(setting::selectedMicrophone, uid);
}

void MicrophoneManager::refreshDevices()
{
    m_devices = m_audioDevices.inputDevices();
    announceChange();
}

std::string MicrophoneManager::automaticLabel() const
{
    const auto current = m_audioDevices.defaultInputID();
    if (!current) {
        return kAutomaticLabel;
    }
    const auto found =
        std::find_if(m_devices.begin(), m_devices.end(), [&](const MicDevice& d) { return d.deviceID == *current; });
    if (found == m_devices.end()) {
        return kAutomaticLabel;
    }
    return "Automatic (" + found->name + ")";
}

MicrophoneManager::RecordingInput MicrophoneManager::inputForRecording()
{
    RecordingInput input;
    const std::string chosen = selectedUID();
    if (!chosen.empty()) {
        auto fresh = m_audioDevices.inputDevices();
        if (fresh != m_devices) {
            m_devices = std::move(fresh);
            announceChange();
        }
        const bool present =
            std::any_of(m_devices.begin(), m_devices.end(), [&](const MicDevice& d) { return d.uid == chosen; });
        if (present) {
            input.source = chosen;
            m_absenceReported = false;
        } else {
            input.fellBack = !std::exchange(m_absenceReported, true);
        }
    }
    m_recordingSource = input.source;
    return input;
}

MicrophoneManager::ObserverToken MicrophoneManager::addObserver(Observer observer)
{
    return m_observers.add(std::move(observer));
}

void MicrophoneManager::removeObserver(ObserverToken token)
{
    m_observers.remove(token);
}

void MicrophoneManager::announceChange()
{
    m_observers.notify();
}

} // namespace quillo
