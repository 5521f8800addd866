#include "app/Pipeline.h"

#include <cstdlib>

#include "platform/linux/Environment.h"
#include "platform/linux/XdgPaths.h"
#include "settings/Settings.h"
#include "transcription/EngineRouting.h"

namespace quillo {

namespace {

// QUILLO_LOG_TEXT=1 puts dictated text in the log lines, for debugging.
bool logDictatedText()
{
    return processEnvironment("QUILLO_LOG_TEXT") == "1";
}

// QUILLO_OFFLINE_UNLOAD_SECONDS shortens how long the offline model stays
// loaded unused, for tests.
std::chrono::milliseconds offlineUnloadAfter()
{
    const std::string value = processEnvironment("QUILLO_OFFLINE_UNLOAD_SECONDS").value_or("");
    char* end = nullptr;
    const double seconds = value.empty() ? 0 : std::strtod(value.c_str(), &end);
    if (seconds <= 0 || *end != '\0') {
        return LocalSpeechEngine::kUnloadAfter;
    }
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

} // namespace

Pipeline::Pipeline()
    : preferences(fileSystem, log, clock, xdg::preferencesPath()),
      store(fileSystem, preferences, log, clock, xdg::dataDirectory()),
      plainCredentials(fileSystem, log, xdg::credentialsPath()), credentials(plainCredentials, log),
      services({http, credentials, endpoints}),
      localSpeech({audioDecoder, recognizer, log, offlineUnloadAfter(), [this] { return store.dictionaryWords(); }}),
      transcriber({preferences, fileSystem, clock, log, services, store, credentials, localSpeech, logDictatedText()})
{
    // When Settings makes the offline engine the one that runs, its model
    // loads now rather than in the next dictation.
    m_engineObserver = preferences.addObserver([this](const std::string& key) {
        if (key != setting::transcriptionEngine.key && key != setting::enabledLanguages.key) {
            return;
        }
        if (currentRoute(preferences, credentials, QuilloLanguage::enabled(preferences)).speech ==
            TranscriptionEngine::local) {
            localSpeech.preload();
        }
    });
}

Pipeline::~Pipeline()
{
    preferences.removeObserver(m_engineObserver);
}

} // namespace quillo
