#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/MicDevice.h"

namespace quillo {

// The audio server's input devices and its default input, the device a new
// recording captures from.
//
// Threading: one caller at a time (the main thread in the program). Each call
// is a round trip to the audio server bounded by a timeout, so a hung or absent
// server yields the failure result below instead of blocking the caller.
class AudioDevices
{
public:
    virtual ~AudioDevices() = default;

    // The input devices in the order the server reports them. Devices that only
    // mirror an output (monitors of a sink) are not inputs. Empty when the
    // server cannot be asked; a device whose details cannot be read is left out.
    virtual std::vector<MicDevice> inputDevices() = 0;

    // The deviceID of the current default input; nothing when there is none or
    // it cannot be read.
    virtual std::optional<std::uint32_t> defaultInputID() = 0;
};

} // namespace quillo
