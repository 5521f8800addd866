#pragma once

#include "platform/AudioFileWriter.h"

namespace quillo {

// AAC (FFmpeg's native encoder) in an MPEG-4 audio file, muxed with FFmpeg's
// "ipod" (.m4a) muxer.
class FfmpegAudioFileWriter final : public AudioFileWriter
{
public:
    // Speech at 16 kHz mono needs no more; it keeps uploads small (~4 KB/s).
    static constexpr long kBitRate = 32000;

    FfmpegAudioFileWriter();

    std::unique_ptr<File> create(const std::string& path, const AudioFormat& format) override;
};

} // namespace quillo
