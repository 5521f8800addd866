#pragma once

// The pipeline's remote requests: scripted answers, counted calls.

#include <functional>
#include <string>
#include <vector>

#include "transcription/SpeechServices.h"

namespace quillo::test {

class FakeSpeechServices final : public SpeechServices
{
public:
    std::string transcribeOpenAI(const std::string&, const LanguageSet&) override
    {
        ++uploads;
        return answer(openAIAnswer);
    }
    std::string transcribeDeepgram(const std::string&) override
    {
        ++uploads;
        return answer(deepgramAnswer);
    }
    CleanupAnswer
    requestCleanup(const std::string&, const LanguageSet&, const std::vector<std::string>&, const std::string&) override
    {
        ++cleanups;
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
    int uploads = 0;
    int cleanups = 0;

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
