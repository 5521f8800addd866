#pragma once

#include <optional>
#include <string>

#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo {

class Credentials;
class Preferences;

// Which service keys are configured: present and not blank. A configured key
// may still be one the service rejects; that shows when it is used.
struct ConfiguredKeys
{
    bool openAI = false;
    bool deepgram = false;

    static ConfiguredKeys of(const Credentials& credentials);
};

// Where one dictation goes.
struct EngineRoute
{
    // openai, deepgram or local: the engine that turns the speech into text.
    TranscriptionEngine speech = TranscriptionEngine::local;
    // Whether longer dictations may be sent to OpenAI for clean-up.
    bool cleanup = false;
    // The cloud engine the choice resolved to when its key is missing and
    // another engine stands in for it.
    std::optional<TranscriptionEngine> missingKey;

    bool operator==(const EngineRoute&) const = default;
};

// The user's engine choice made concrete for these languages and keys: a
// cloud engine whose key is configured runs as chosen; one without its key
// gives way to the other cloud engine when that has its key and serves the
// languages (Deepgram serves English alone), else to the local engine, so
// dictation works with no keys at all. Choosing the local engine keeps
// everything on this computer, clean-up too.
EngineRoute routeDictation(TranscriptionEngine chosen, const LanguageSet& languages, ConfiguredKeys keys);

// routeDictation for the stored engine choice and the configured keys: the
// one rule the pipeline, streaming, the Settings status line, the offline
// model's preload and "quillo transcribe" all follow.
EngineRoute currentRoute(const Preferences& preferences, const Credentials& credentials, const LanguageSet& languages);

// One sentence telling the user where their speech and text will go.
std::string engineStatusLine(const EngineRoute& route, const LanguageSet& languages);

// The engine and model names as the About block shows them.
std::string transcriptionAboutText(TranscriptionEngine chosen, const std::string& localModelName);

} // namespace quillo
