#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillo {

// Speech-to-text on this computer: an acoustic and language model that turns
// 16 kHz mono speech into bare lower-case words, without punctuation.
//
// An utterance is fed as it arrives: beginUtterance(), any number of
// process() calls, endUtterance(). The words depend only on the samples and
// the sizes of the pieces they come in, so feeding a recording in the same
// pieces live or from its file gives the same words.
//
// Threading: any thread, one call at a time; the owner serialises calls (the
// decoder behind it keeps per-utterance state).
// Failure: load() and the utterance calls throw std::runtime_error whose
// what() is a user-facing sentence (say, which package to install).
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
    // Loads the model; takes seconds and tens of megabytes. Called before the
    // first utterance; may be called again after a failure or an unload.
    virtual LoadReport load() = 0;
    // Gives the model's memory back; load() again before the next utterance.
    // Does nothing when nothing is loaded.
    virtual void unload() = 0;

    // Those of `words` (lower-case; a phrase is known when all its words are)
    // that the model's pronouncing dictionary lacks: it cannot hear them.
    // Needs no loaded model.
    virtual std::vector<std::string> unknownWords(const std::vector<std::string>& words) const = 0;
    // Makes the known ones among `words` likelier in the utterances that
    // follow, until the next call. Costs a moment when the list has changed
    // since the last call, nothing otherwise. Not during an utterance.
    virtual void preferWords(const std::vector<std::string>& words) = 0;

    virtual void beginUtterance() = 0;
    virtual void process(std::span<const std::int16_t> samples) = 0;
    // The best guess at the words so far, for showing while the user speaks.
    virtual std::string partialWords() = 0;
    // The words heard in the utterance, separated by single spaces; empty when
    // nothing was recognised.
    virtual std::string endUtterance() = 0;
};

} // namespace quillo
