#pragma once

// Fakes of the pipeline's remote requests and text rules: scripted answers,
// recorded calls.

#include <functional>
#include <string>
#include <vector>

#include "transcription/SpeechServices.h"

namespace quillo::test {

class FakeSpeechServices final : public SpeechServices
{
public:
    struct CleanupCall
    {
        std::string rawTranscript;
        LanguageSet languages;
        std::vector<std::string> dictionaryWords;
        std::string instructions;
    };

    std::string transcribeOpenAI(const std::string& audioData, const LanguageSet& languages) override
    {
        openAIUploads.push_back({audioData, languages});
        return answer(openAIAnswer);
    }
    std::string transcribeDeepgram(const std::string& audioData) override
    {
        deepgramUploads.push_back(audioData);
        return answer(deepgramAnswer);
    }
    CleanupAnswer requestCleanup(const std::string& rawTranscript,
                                 const LanguageSet& languages,
                                 const std::vector<std::string>& dictionaryWords,
                                 const std::string& instructions) override
    {
        cleanups.push_back({rawTranscript, languages, dictionaryWords, instructions});
        return {answer(cleanupAnswer), cleanupFinishReason};
    }

    // An answer is a text, or a function that throws.
    struct Answer
    {
        std::string text;
        std::function<void()> fail;
    };

    Answer openAIAnswer;
    Answer deepgramAnswer;
    Answer cleanupAnswer;
    std::string cleanupFinishReason = "stop";
    std::vector<std::pair<std::string, LanguageSet>> openAIUploads;
    std::vector<std::string> deepgramUploads;
    std::vector<CleanupCall> cleanups;

private:
    static std::string answer(const Answer& a)
    {
        if (a.fail) {
            a.fail();
        }
        return a.text;
    }
};

} // namespace quillo::test
