#include "transcription/TranscriptionEngine.h"

#include "platform/Preferences.h"
#include "settings/Settings.h"

namespace quillo {

std::optional<TranscriptionEngine> TranscriptionEngine::fromRawValue(const std::string& raw)
{
    for (const auto& engine : allCases()) {
        if (engine.rawValue() == raw) {
            return engine;
        }
    }
    return std::nullopt;
}

TranscriptionEngine TranscriptionEngine::current(const Preferences& preferences)
{
    const std::string raw = Settings(preferences).get(setting::transcriptionEngine);
    return fromRawValue(raw).value_or(automatic);
}

const std::vector<TranscriptionEngine>& TranscriptionEngine::allCases()
{
    static const std::vector<TranscriptionEngine> cases = {automatic, openai, deepgram, local};
    return cases;
}

std::string TranscriptionEngine::rawValue() const
{
    switch (m_value) {
    case automatic:
        return "auto";
    case openai:
        return "openai";
    case deepgram:
        return "deepgram";
    case local:
        return "local";
    }
    return "auto";
}

std::string TranscriptionEngine::displayName() const
{
    switch (m_value) {
    case automatic:
        return "Auto (recommended)";
    case openai:
        return "OpenAI";
    case deepgram:
        return "Deepgram";
    case local:
        return "Offline (this computer)";
    }
    return "Auto (recommended)";
}

TranscriptionEngine TranscriptionEngine::resolved(const LanguageSet& languages) const
{
    if (m_value != automatic) {
        return *this;
    }
    return languages == LanguageSet{"en"} ? deepgram : openai;
}

} // namespace quillo
