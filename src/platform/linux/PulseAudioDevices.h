#pragma once

#include <memory>
#include <string>

#include "platform/AudioDevices.h"

namespace quillo {

class PulseConnection;

// Input devices are the PulseAudio sources that are not the monitor of a sink:
// uid = source name, name = its description, deviceID = source index.
class PulseAudioDevices final : public AudioDevices
{
public:
    explicit PulseAudioDevices(std::shared_ptr<PulseConnection> connection);

    std::vector<MicDevice> inputDevices() override;
    std::optional<std::uint32_t> defaultInputID() override;

    // The server's name and version ("PulseAudio (on PipeWire 0.3.65) 15.0.0");
    // nothing when it cannot be reached.
    std::optional<std::string> serverName();

private:
    std::shared_ptr<PulseConnection> m_connection;
};

} // namespace quillo
