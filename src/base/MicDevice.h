#pragma once

#include <cstdint>
#include <string>

namespace quillo {

// One audio input device, as the microphone picker lists it.
struct MicDevice
{
    std::string id;   // same value as uid; the identity lists use
    std::string uid;  // persistent identifier, what the preference stores (PulseAudio: the source name)
    std::string name; // display name (PulseAudio: the source description)
    // Run-time identifier used to switch the default input (PulseAudio: the
    // source index). Valid only while the device is present.
    std::uint32_t deviceID = 0;

    bool operator==(const MicDevice&) const = default;
};

} // namespace quillo
