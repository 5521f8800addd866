#include "transcription/OpenAIService.h"

#include <cstdio>

#include "base/SnippetRules.h"
#include "base/TextUtil.h"
#include "platform/Clock.h"
#include "platform/Credentials.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "store/DataStore.h"
#include "transcription/EngineRouting.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/SpeechServices.h"
#include "transcription/TranscriptRules.h"
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

// What the log says about dictated text when it must not hold the text.
std::string describe(const std::string& text)
{
    return std::to_string(text::countCharacters(text)) + " characters, " + std::to_string(text::countWords(text)) +
           " words";
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
    const EngineRoute route = currentRoute(m_deps.preferences, m_deps.credentials, languages);
    const TranscriptionEngine engine = route.speech;
    const auto started = m_deps.clock.monotonicNow();

    std::string raw;
    bool spokenEnter = false; // the local engine heard "press enter" at the end
    if (streamedTranscript && !streamedTranscript->empty()) {
        raw = *streamedTranscript;
    } else if (engine == TranscriptionEngine::local) {
        // Heard while it was recorded, usually; the file is read only if not.
        SpokenText spoken =
            m_deps.local.transcribe(audioPath, [this, &audioPath] { return readAudio(m_deps.fileSystem, audioPath); });
        raw = std::move(spoken.text);
        spokenEnter = spoken.pressEnter;
    } else {
        const std::string audio = readAudio(m_deps.fileSystem, audioPath);
        if (engine == TranscriptionEngine::deepgram) {
            raw = m_deps.services.transcribeDeepgram(audio);
        } else {
            raw = m_deps.services.transcribeOpenAI(audio, languages);
        }
    }

    // Service text may carry escape sequences; none of them belongs in a
    // paste, the history or a terminal.
    raw = text::removeControlCharacters(raw);
    if (text::trimSpacesAndTabs(raw).empty()) {
        return {};
    }

    const std::chrono::duration<double> elapsed = m_deps.clock.monotonicNow() - started;
    m_deps.log.write("[Quillo] Transcribed via " + engine.rawValue() + " in " + formatSeconds(elapsed.count()) +
                     "s \u2014 " + (m_deps.logText ? "'" + text::prefixCharacters(raw, 40) + "'" : describe(raw)));

    const std::string instructions = Settings(m_deps.preferences).get(setting::cleanupInstructions);

    // Without an OpenAI key (or when the user chose to keep everything on this
    // computer) the transcript is pasted as it came, instead of every longer
    // dictation failing.
    const bool skipCleanup = !route.cleanup || (text::countWords(raw) <= kMaxWordsWithoutCleanup &&
                                                text::trimWhitespaceAndNewlines(instructions).empty() &&
                                                TranscriptRules::matchesEnabledScripts(raw, languages));
    if (skipCleanup) {
        return {expandSnippets(text::trimWhitespaceAndNewlines(raw)), spokenEnter};
    }

    const CleanupAnswer answer =
        m_deps.services.requestCleanup(raw, languages, m_deps.lists.dictionaryWords(), instructions);
    const std::string content = text::removeControlCharacters(answer.content);

    std::string cleaned = text::trimWhitespaceAndNewlines(content);
    m_deps.log.write("[Quillo] Cleanup output: " + (m_deps.logText ? cleaned : describe(cleaned)));

    bool simulateEnter = spokenEnter;
    if (answer.finishReason != "stop" || cleaned.empty()) {
        // A cut-off or empty answer would lose the user's words.
        m_deps.log.write("[Quillo] Cleanup answer not used (finish_reason " +
                         (answer.finishReason.empty() ? std::string("missing")
                                                      : text::removeControlCharacters(answer.finishReason)) +
                         (cleaned.empty() ? ", empty" : "") + "); using the transcript");
        cleaned = text::trimWhitespaceAndNewlines(raw);
    } else if (TranscriptRules::isRefusal(cleaned, raw)) {
        m_deps.log.write("[Quillo] REFUSAL DETECTED: " + (m_deps.logText ? cleaned : describe(cleaned)));
        cleaned = text::trimWhitespaceAndNewlines(raw);
    } else {
        // A final carriage return is the model's way of saying "press enter";
        // CR LF is an ordinary line ending and does not count. Return is only
        // pressed when the user said so: in a chat or a form it sends.
        simulateEnter =
            simulateEnter || (!content.empty() && content.back() == '\r' && text::endsWithEnterCommand(raw));
    }

    return {expandSnippets(cleaned), simulateEnter};
}

std::shared_ptr<SampleListener> OpenAIService::hearRecording(const std::string& audioPath)
{
    const auto route =
        currentRoute(m_deps.preferences, m_deps.credentials, QuilloLanguage::enabled(m_deps.preferences));
    return route.speech == TranscriptionEngine::local ? m_deps.local.hear(audioPath) : nullptr;
}

std::string OpenAIService::expandSnippets(const std::string& text) const
{
    const auto snippets = m_deps.lists.snippets();
    return snippets.empty() ? text : snippets::applyInline(snippets, text);
}

} // namespace quillo
