#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "transcription/SpokenTextFormatter.h"

namespace quillo {

class AudioDecoder;
class Log;
class SpeechRecognizer;

// The offline engine could not load its model or read the recording. what()
// is the user-facing description.
class LocalSpeechError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Speech-to-text on this computer: decodes the recording, runs the recogniser
// and formats its bare words like the cloud engines' text.
//
// The model is loaded once, by the first transcription or by preload(); a
// failed load is tried again by the next call. Transcriptions may be called
// from several threads; the recogniser runs one at a time.
class LocalSpeechEngine
{
public:
    struct Dependencies
    {
        AudioDecoder& decoder;
        SpeechRecognizer& recognizer;
        Log& log;
    };

    explicit LocalSpeechEngine(Dependencies dependencies);
    // Waits for a preload still running.
    ~LocalSpeechEngine();

    LocalSpeechEngine(const LocalSpeechEngine&) = delete;
    LocalSpeechEngine& operator=(const LocalSpeechEngine&) = delete;

    std::string modelName() const;

    // Starts loading the model on a thread of its own and returns at once, so
    // the first dictation does not wait for it. Does nothing after the first call.
    void preload();

    // Blocks until the model is loaded (loading it if need be), then turns the
    // recording into text. Throws LocalSpeechError.
    SpokenText transcribe(const std::string& audioData);

private:
    void ensureLoaded();

    Dependencies m_deps;
    std::mutex m_loading;     // guards m_loaded; held for the whole load
    bool m_loaded = false;    // a load succeeded
    std::mutex m_recognizing; // one utterance at a time through the recogniser
    std::once_flag m_preloadStarted;
    std::jthread m_preload;
};

} // namespace quillo
