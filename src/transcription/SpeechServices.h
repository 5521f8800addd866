#pragma once

#include <string>
#include <vector>

#include "transcription/QuilloLanguage.h"

namespace quillo {

// The clean-up model's answer.
struct CleanupAnswer
{
    std::string content;      // as received, untrimmed
    std::string finishReason; // "stop" when the model ended the text itself; empty when absent

    bool operator==(const CleanupAnswer&) const = default;
};

// The three remote requests of a dictation.
//
// Threading: any background thread; calls block until the answer arrives.
// Failure: throws DictationError for answers the program understands, and the
// transport error of the HTTP layer when the service cannot be reached.
class SpeechServices
{
public:
    virtual ~SpeechServices() = default;
    // Uploads the recording to the OpenAI transcription endpoint.
    virtual std::string transcribeOpenAI(const std::string& audioData, const LanguageSet& languages) = 0;
    // Uploads the recording to the Deepgram pre-recorded endpoint.
    virtual std::string transcribeDeepgram(const std::string& audioData) = 0;
    // Sends the clean-up chat completion.
    virtual CleanupAnswer requestCleanup(const std::string& rawTranscript,
                                         const LanguageSet& languages,
                                         const std::vector<std::string>& dictionaryWords,
                                         const std::string& instructions) = 0;
};

} // namespace quillo
