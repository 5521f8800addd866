#pragma once

namespace quillo {

// Raw PCM as captured and as handed to the file writer: signed 16-bit samples
// in native byte order, channels interleaved.
struct AudioFormat
{
    int sampleRate = 16000;
    int channels = 1;

    bool operator==(const AudioFormat&) const = default;
};

} // namespace quillo
