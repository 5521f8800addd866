#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "transcription/SpokenTextFormatter.h"

namespace quillo {

class AudioDecoder;
class Log;
class SampleListener;
class SpeechRecognizer;

// The offline engine could not load its model or read the recording. what()
// is the user-facing description.
class LocalSpeechError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Speech-to-text on this computer: runs the recogniser on a recording and
// formats its bare words like the cloud engines' text.
//
// A recording is best heard while it is made (hear()): the recogniser then
// works through the speech as it comes, and at the end only the last moments
// remain. A recording nobody heard is decoded from its file.
//
// The model is loaded when first needed, in the background when a recording
// starts, and given back after `unloadAfter` unused; a failed load is tried
// again by the next use. Transcriptions may be called from several threads;
// the recogniser runs one utterance at a time.
class LocalSpeechEngine
{
public:
    static constexpr std::chrono::milliseconds kUnloadAfter = std::chrono::minutes(10);
    // The recogniser is fed in pieces of this many samples (0.1 s), live and
    // from files alike, so both give the same words.
    static constexpr std::size_t kPieceSamples = 1600;
    // Speech captured while the model loads or the recogniser lags behind:
    // 60 s. Beyond it the recording is decoded from its file instead.
    static constexpr std::size_t kBacklogSamples = 60 * 16000;

    struct Dependencies
    {
        AudioDecoder& decoder;
        SpeechRecognizer& recognizer;
        Log& log;
        std::chrono::milliseconds unloadAfter = kUnloadAfter;
        // The user's dictionary, made likelier in every utterance; any thread.
        std::function<std::vector<std::string>()> dictionaryWords = {};
    };

    explicit LocalSpeechEngine(Dependencies dependencies);
    // Throws away recordings still being heard, and waits for the loads and
    // recognitions still running.
    ~LocalSpeechEngine();

    LocalSpeechEngine(const LocalSpeechEngine&) = delete;
    LocalSpeechEngine& operator=(const LocalSpeechEngine&) = delete;

    std::string modelName() const;

    // Starts loading the model on a thread of its own and returns at once, so
    // the next dictation does not wait for it. Does nothing while it is loaded
    // or loading.
    void preload();

    // Hears the recording that will be saved at `audioPath` as it is captured
    // (and starts loading the model if need be); transcribe() with the same
    // path then collects the words. Main thread. The listener must be dropped
    // before the engine.
    std::shared_ptr<SampleListener> hear(const std::string& audioPath);

    // The words of the recording at `audioPath`: those heard while it was
    // made, else those decoded from `readAudio()`, its file's bytes. Blocks
    // until the model is loaded and the words are known. Throws
    // LocalSpeechError, or what `readAudio` throws.
    SpokenText transcribe(const std::string& audioPath, const std::function<std::string()>& readAudio);

    // The best guess at the words of the recording being heard now; empty
    // when none is.
    std::string partialWords() const;

    // Those of `words` the model cannot hear, not being in its pronouncing
    // dictionary. Reads the dictionary; needs no loaded model.
    std::vector<std::string> unknownWords(const std::vector<std::string>& words) const;

private:
    class Utterance;
    friend class Utterance;

    void ensureLoaded();
    // Keeps the model loaded between beginUse() and endUse().
    void beginUse();
    void endUse();
    void unloadWhenIdle(std::stop_token stop);
    std::string recognize(const std::vector<std::int16_t>& samples);
    // Before each utterance, with m_recognizing held.
    void preferDictionaryWords();

    Dependencies m_deps;
    std::mutex m_loading;       // held for a whole load or unload
    std::mutex m_recognizing;   // one utterance at a time through the recogniser
    mutable std::mutex m_state; // guards the fields below
    std::condition_variable_any m_stateChanged;
    bool m_loaded = false;
    int m_users = 0;
    std::chrono::steady_clock::time_point m_lastUsed;
    bool m_preloading = false;
    std::jthread m_preload;
    // Recordings heard, by file path, until transcribe() collects them.
    std::map<std::string, std::shared_ptr<Utterance>> m_heard;
    std::weak_ptr<Utterance> m_current;
    std::jthread m_unloader;
};

} // namespace quillo
