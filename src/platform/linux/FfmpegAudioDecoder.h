#pragma once

#include "platform/AudioDecoder.h"

namespace quillo {

// Any audio FFmpeg reads (the recorder's AAC in MPEG-4, WAV, ...), decoded
// from memory and resampled with libswresample.
class FfmpegAudioDecoder final : public AudioDecoder
{
public:
    FfmpegAudioDecoder();

    std::vector<std::int16_t> decodeMono(const std::string& data, int sampleRate) override;
};

} // namespace quillo
