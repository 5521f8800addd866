#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillo {

// Speech-to-text on this computer: an acoustic and language model that turns
// 16 kHz mono speech into bare lower-case words, without punctuation.
//
// Threading: any thread, one call at a time; the owner serialises calls (the
// decoder behind it keeps per-utterance state).
// Failure: load() and recognize() throw std::runtime_error whose what() is a
// user-facing sentence (say, which package to install).
class SpeechRecognizer
{
public:
    struct LoadReport
    {
        double seconds = 0;            // wall-clock time the model took to load
        std::size_t residentBytes = 0; // growth of the process's resident memory
    };

    static constexpr int kSampleRate = 16000;

    virtual ~SpeechRecognizer() = default;

    // Names the model for people, such as "PocketSphinx US English".
    virtual std::string modelName() const = 0;
    // Loads the model; takes seconds and tens of megabytes. Called once before
    // the first recognize(); may be called again after a failure.
    virtual LoadReport load() = 0;
    // The words heard in one whole utterance, separated by single spaces;
    // empty when nothing was recognised.
    virtual std::string recognize(std::span<const std::int16_t> samples) = 0;
};

} // namespace quillo
