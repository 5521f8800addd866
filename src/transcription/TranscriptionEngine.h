#pragma once

#include <optional>
#include <string>

#include "transcription/QuilloLanguage.h"

namespace quillo {

class Preferences;

// The user's choice of speech-to-text provider.
class TranscriptionEngine
{
public:
    enum Value
    {
        automatic, // raw value "auto" (a C++ keyword, hence the spelling)
        openai,
        deepgram,
        local // speech-to-text on this computer
    };

    constexpr TranscriptionEngine(Value value) : m_value(value) {}

    // "auto", "openai", "deepgram" or "local", exactly; anything else gives nothing.
    static std::optional<TranscriptionEngine> fromRawValue(const std::string& raw);
    // The stored choice; absent or unrecognised reads as auto.
    static TranscriptionEngine current(const Preferences& preferences);
    static const std::vector<TranscriptionEngine>& allCases();

    std::string rawValue() const;
    std::string displayName() const;
    // auto becomes deepgram for English alone and openai for every other set;
    // the others stay as they are. Which keys are configured is not looked at
    // here (see EngineRouting.h).
    TranscriptionEngine resolved(const LanguageSet& languages) const;

    Value value() const { return m_value; }
    bool operator==(const TranscriptionEngine&) const = default;

private:
    Value m_value;
};

} // namespace quillo
