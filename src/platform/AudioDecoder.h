#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillo {

// Decodes a recording (the recorder's .m4a, or any format the platform reads)
// held in memory into PCM for speech recognition.
//
// Threading: any thread; calls may overlap.
// Failure: throws std::runtime_error with a user-facing what() when the data
// is not audio the decoder understands.
class AudioDecoder
{
public:
    virtual ~AudioDecoder() = default;
    // The first audio stream, mixed down to mono and resampled to
    // `sampleRate`, as signed 16-bit samples.
    virtual std::vector<std::int16_t> decodeMono(const std::string& data, int sampleRate) = 0;
};

} // namespace quillo
