#pragma once

#include <cstdint>
#include <span>

namespace quillo {

// Hears a recording while it is being captured, besides the file it goes to.
class SampleListener
{
public:
    virtual ~SampleListener() = default;

    // The next block of captured samples, in capture order. Runs on the
    // capture's thread (the last blocks on the thread that stops it) and must
    // return at once: it may neither block nor wait.
    virtual void hear(std::span<const std::int16_t> samples) = 0;

    // The recording is over: no more samples follow. `kept`: its file is kept
    // and will be transcribed; otherwise it was thrown away.
    virtual void recordingEnded(bool kept) = 0;
};

} // namespace quillo
