#include "transcription/EngineRouting.h"

#include "platform/Credentials.h"
#include "platform/Preferences.h"
#include "transcription/OpenAIService.h"

namespace quillo {

namespace {

bool configured(const std::optional<std::string>& key)
{
    return key && key->find_first_not_of(" \t\r\n") != std::string::npos;
}

} // namespace

ConfiguredKeys ConfiguredKeys::of(const Credentials& credentials)
{
    return {configured(credentials.openAIKey()), configured(credentials.deepgramKey())};
}

namespace {

bool hasKey(TranscriptionEngine engine, ConfiguredKeys keys)
{
    return engine == TranscriptionEngine::deepgram ? keys.deepgram : keys.openAI;
}

// The Deepgram upload names no language, so it transcribes English only.
bool serves(TranscriptionEngine engine, const LanguageSet& languages)
{
    return engine != TranscriptionEngine::deepgram || languages == LanguageSet{"en"};
}

} // namespace

EngineRoute routeDictation(TranscriptionEngine chosen, const LanguageSet& languages, ConfiguredKeys keys)
{
    if (chosen == TranscriptionEngine::local) {
        return {TranscriptionEngine::local, false, std::nullopt};
    }
    const TranscriptionEngine resolved = chosen.resolved(languages);
    if (hasKey(resolved, keys)) {
        return {resolved, keys.openAI, std::nullopt};
    }
    const TranscriptionEngine other =
        resolved == TranscriptionEngine::deepgram ? TranscriptionEngine::openai : TranscriptionEngine::deepgram;
    if (hasKey(other, keys) && serves(other, languages)) {
        return {other, keys.openAI, resolved};
    }
    return {TranscriptionEngine::local, keys.openAI, resolved};
}

EngineRoute currentRoute(const Preferences& preferences, const Credentials& credentials, const LanguageSet& languages)
{
    return routeDictation(TranscriptionEngine::current(preferences), languages, ConfiguredKeys::of(credentials));
}

std::string engineStatusLine(const EngineRoute& route, const LanguageSet& languages)
{
    std::string line;
    if (route.missingKey) {
        line = "No " + route.missingKey->displayName() + " key: ";
    }
    switch (route.speech.value()) {
    case TranscriptionEngine::openai:
        return line + "OpenAI transcribes and tidies your speech.";
    case TranscriptionEngine::deepgram:
        if (route.cleanup) {
            return line + "Deepgram transcribes your speech; OpenAI tidies longer dictations.";
        }
        return line + (route.missingKey ? "Deepgram transcribes your speech, and it is not tidied."
                                        : "Deepgram transcribes your speech; without an OpenAI key it is not tidied.");
    case TranscriptionEngine::automatic:
    case TranscriptionEngine::local:
        break;
    }
    line += "your speech is transcribed on this computer";
    // The offline model knows US English words only.
    if (languages != LanguageSet{"en"}) {
        line += " (English only)";
    }
    line += route.cleanup ? "; OpenAI tidies longer dictations." : ", and nothing leaves it.";
    if (line[0] >= 'a' && line[0] <= 'z') {
        line[0] = static_cast<char>(line[0] - 'a' + 'A');
    }
    return line;
}

std::string transcriptionAboutText(TranscriptionEngine chosen, const std::string& localModelName)
{
    const std::string openAI = std::string("OpenAI ") + OpenAIService::transcriptionModel;
    const std::string deepgram = std::string("Deepgram ") + OpenAIService::deepgramModel;
    switch (chosen.value()) {
    case TranscriptionEngine::automatic:
        return "Auto \u2192 " + deepgram + " (English) / " + openAI + " (other languages)";
    case TranscriptionEngine::openai:
        return openAI;
    case TranscriptionEngine::deepgram:
        return deepgram;
    case TranscriptionEngine::local:
        return "Offline " + localModelName;
    }
    return openAI;
}

} // namespace quillo
