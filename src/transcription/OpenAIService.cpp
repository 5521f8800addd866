#include "transcription/OpenAIService.h"

#include <cstdio>

#include "base/TextUtil.h"
#include "platform/Clock.h"
#include "platform/Credentials.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "store/UserLists.h"
#include "transcription/EngineRouting.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/SpeechServices.h"
#include "transcription/TextRules.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo {

namespace {

std::string readAudio(const FileSystem& fileSystem, const std::string& path)
{
    auto read = fileSystem.readFile(path);
    switch (read.status) {
    case FileSystem::ReadResult::Status::ok:
        return std::move(read.contents);
    case FileSystem::ReadResult::Status::notFound:
        throw FileReadError("The recording could not be found.");
    case FileSystem::ReadResult::Status::failed:
        break;
    }
    throw FileReadError("The recording could not be read: " + read.error);
}

std::string formatSeconds(double seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
    return buffer;
}

} // namespace

OpenAIService::OpenAIService(Dependencies dependencies) : m_deps(dependencies) {}

DictationResult OpenAIService::transcribeAndClean(const std::string& audioPath,
                                                  const LanguageSet& languages,
                                                  const std::optional<std::string>& streamedTranscript)
{
    const EngineRoute route = routeDictation(TranscriptionEngine::current(m_deps.preferences),
                                             languages,
                                             ConfiguredKeys::of(m_deps.credentials));
    const TranscriptionEngine engine = route.speech;
    const auto started = m_deps.clock.monotonicNow();

    std::string raw;
    bool spokenEnter = false; // the local engine heard "press enter" at the end
    if (streamedTranscript && !streamedTranscript->empty()) {
        raw = *streamedTranscript;
    } else {
        const std::string audio = readAudio(m_deps.fileSystem, audioPath);
        switch (engine.value()) {
        case TranscriptionEngine::deepgram:
            raw = m_deps.services.transcribeDeepgram(audio);
            break;
        case TranscriptionEngine::local: {
            SpokenText spoken = m_deps.local.transcribe(audio);
            raw = std::move(spoken.text);
            spokenEnter = spoken.pressEnter;
            break;
        }
        case TranscriptionEngine::openai:
        case TranscriptionEngine::automatic:
            raw = m_deps.services.transcribeOpenAI(audio, languages);
            break;
        }
    }

    if (text::trimSpacesAndTabs(raw).empty()) {
        return {};
    }

    const std::chrono::duration<double> elapsed = m_deps.clock.monotonicNow() - started;
    m_deps.log.write("[Quillo] Transcribed via " + engine.rawValue() + " in " + formatSeconds(elapsed.count()) +
                     "s \u2014 '" + text::prefixCharacters(raw, 40) + "'");

    const std::string instructions = m_deps.preferences.stringForKey("cleanupInstructions").value_or("");

    // Without an OpenAI key (or when the user chose to keep everything on this
    // computer) the transcript is pasted as it came, instead of every longer
    // dictation failing.
    const bool skipCleanup = !route.cleanup || (text::countWords(raw) <= kMaxWordsWithoutCleanup &&
                                                text::trimWhitespaceAndNewlines(instructions).empty() &&
                                                m_deps.rules.matchesEnabledScripts(raw, languages));
    if (skipCleanup) {
        return {expandSnippets(text::trimWhitespaceAndNewlines(raw)), spokenEnter};
    }

    const std::string content =
        m_deps.services.requestCleanup(raw, languages, m_deps.lists.dictionaryWords(), instructions);

    std::string cleaned = text::trimWhitespaceAndNewlines(content);
    m_deps.log.write("[Quillo] Cleanup output: " + cleaned);

    bool simulateEnter = spokenEnter;
    if (m_deps.rules.isRefusal(cleaned)) {
        m_deps.log.write("[Quillo] REFUSAL DETECTED: " + cleaned);
        cleaned = text::trimWhitespaceAndNewlines(raw);
    } else {
        // A final carriage return is the model's way of saying "press enter";
        // CR LF is an ordinary line ending and does not count.
        simulateEnter = simulateEnter || (!content.empty() && content.back() == '\r');
    }

    return {expandSnippets(cleaned), simulateEnter};
}

std::string OpenAIService::expandSnippets(const std::string& text) const
{
    const auto snippets = m_deps.lists.snippets();
    return snippets.empty() ? text : m_deps.rules.applySnippets(snippets, text);
}

} // namespace quillo
