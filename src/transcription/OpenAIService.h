#pragma once

#include <memory>

#include "transcription/Transcriber.h"

namespace quillo {

class Clock;
class Credentials;
class FileSystem;
class LocalSpeechEngine;
class Log;
class Preferences;
class SampleListener;
class SpeechServices;
class DataStore;

// The transcription pipeline: engine routing, the raw transcript (streamed,
// uploaded or recognised on this computer), the decision to clean up, the
// clean-up with its refusal guard, and snippet expansion. Holds no per-dictation state, so calls may overlap.
class OpenAIService final : public Transcriber
{
public:
    static constexpr const char* transcriptionModel = "gpt-4o-mini-transcribe";
    static constexpr const char* deepgramModel = "nova-3";
    static constexpr const char* cleanupModel = "gpt-4o-mini";

    // Transcripts of at most this many words, in an enabled script and with no
    // extra instructions, are pasted without clean-up.
    static constexpr std::size_t kMaxWordsWithoutCleanup = 7;

    struct Dependencies
    {
        const Preferences& preferences;
        const FileSystem& fileSystem;
        const Clock& clock;
        Log& log;
        SpeechServices& services;
        const DataStore& lists;         // snippets and dictionary words
        const Credentials& credentials; // which keys are configured decides the route
        LocalSpeechEngine& local;
        // Dictated text in the log lines; off, they give only lengths, so
        // the words stay in the history the user can clear.
        bool logText = false;
    };

    explicit OpenAIService(Dependencies dependencies);

    DictationResult transcribeAndClean(const std::string& audioPath,
                                       const LanguageSet& languages,
                                       const std::optional<std::string>& streamedTranscript) override;

    // A listener for the recording about to be made at `audioPath` when the
    // offline engine will transcribe it, so the engine hears it as it is
    // captured (and loads its model meanwhile); nothing for the cloud engines.
    std::shared_ptr<SampleListener> hearRecording(const std::string& audioPath);

private:
    std::string expandSnippets(const std::string& text) const;

    Dependencies m_deps;
};

} // namespace quillo
