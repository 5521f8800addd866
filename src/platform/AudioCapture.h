#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/AudioFormat.h"

namespace quillo {

// Live PCM from an input of the audio server: the default one, or the one
// the implementation is told to use.
class AudioCapture
{
public:
    // Receives each block of captured samples, interleaved, in capture order.
    // Runs on the capture's own thread, except for the last blocks, which
    // Stream::stop() hands over on its caller's thread. It must return quickly
    // and must not call back into the capture.
    using Sink = std::function<void(std::span<const std::int16_t> samples)>;

    // One running capture. Destroying it stops it.
    class Stream
    {
    public:
        virtual ~Stream() = default;
        // Hands the sink what the server has already delivered, then ends the
        // capture. After it returns the sink is never called again. Any thread
        // but the sink's; a second call does nothing.
        virtual void stop() = 0;
    };

    virtual ~AudioCapture() = default;

    // Starts capturing the implementation's input (the default at the time of
    // the call unless told otherwise), converted to `format` by the server.
    // Returns once the server has accepted the stream (a wait bounded by a
    // timeout); the first samples follow within a few milliseconds. Nothing
    // when capture is impossible: no audio server, no input device, or a
    // server that does not answer in time.
    //
    // Threading: one caller at a time.
    virtual std::unique_ptr<Stream> start(const AudioFormat& format, Sink sink) = 0;
};

} // namespace quillo
