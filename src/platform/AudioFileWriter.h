#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/AudioFormat.h"

namespace quillo {

// Compresses PCM into AAC in an MPEG-4 audio file (.m4a), the format the
// transcription uploads declare.
//
// Threading: `create` may be called from any thread. One file is used by one
// thread at a time; handing it to another thread needs a happens-before (a
// joined thread, a lock).
class AudioFileWriter
{
public:
    class File
    {
    public:
        // Destroying a file that was not finished leaves it incomplete on disk;
        // the owner removes it.
        virtual ~File() = default;

        // Encodes more samples (interleaved, in the format the file was created
        // with). False once writing has failed; later calls then do nothing.
        virtual bool append(std::span<const std::int16_t> samples) = 0;

        // Encodes what is still buffered and completes the file, so that it is
        // decodable and its duration is that of the samples appended. False when
        // the file could not be completed. Call it at most once; no append after.
        virtual bool finish() = 0;
    };

    virtual ~AudioFileWriter() = default;

    // Creates a new file at `path`, readable and writable by the user alone
    // (0600); an existing file is never replaced. Nothing when the file cannot
    // be created (unusable directory, name taken, no encoder); no file is then
    // left behind.
    virtual std::unique_ptr<File> create(const std::string& path, const AudioFormat& format) = 0;
};

} // namespace quillo
