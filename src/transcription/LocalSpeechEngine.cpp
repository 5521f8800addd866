#include "transcription/LocalSpeechEngine.h"

#include <cstdio>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/Log.h"
#include "platform/SpeechRecognizer.h"

namespace quillo {

LocalSpeechEngine::LocalSpeechEngine(Dependencies dependencies) : m_deps(dependencies) {}

LocalSpeechEngine::~LocalSpeechEngine() = default;

std::string LocalSpeechEngine::modelName() const
{
    return m_deps.recognizer.modelName();
}

void LocalSpeechEngine::preload()
{
    std::call_once(m_preloadStarted, [this] {
        m_preload = std::jthread([this] {
            try {
                ensureLoaded();
            } catch (const LocalSpeechError&) {
                // Already logged; the first dictation tries again and reports it.
            }
        });
    });
}

void LocalSpeechEngine::ensureLoaded()
{
    // Concurrent callers wait for the one load in progress; a load that throws
    // leaves the model unloaded, so the next call retries. (A mutex rather
    // than call_once: a throwing call_once hangs its retry under some
    // pthread_once implementations, ThreadSanitizer's among them.)
    std::lock_guard lock(m_loading);
    if (m_loaded) {
        return;
    }
    SpeechRecognizer::LoadReport report;
    try {
        report = m_deps.recognizer.load();
    } catch (const std::exception& error) {
        m_deps.log.write("[Quillo] Offline model " + modelName() + " failed to load: " + error.what());
        throw LocalSpeechError(error.what());
    }
    m_loaded = true;
    char figures[96];
    std::snprintf(figures,
                  sizeof figures,
                  " loaded in %.2fs, %.1f MB resident",
                  report.seconds,
                  static_cast<double>(report.residentBytes) / (1024.0 * 1024.0));
    m_deps.log.write("[Quillo] Offline model " + modelName() + figures);
}

SpokenText LocalSpeechEngine::transcribe(const std::string& audioData)
{
    ensureLoaded();

    std::vector<std::int16_t> samples;
    try {
        samples = m_deps.decoder.decodeMono(audioData, SpeechRecognizer::kSampleRate);
    } catch (const std::exception& error) {
        throw LocalSpeechError(error.what());
    }

    std::string words;
    {
        const std::lock_guard lock(m_recognizing);
        try {
            words = m_deps.recognizer.recognize(samples);
        } catch (const std::exception& error) {
            throw LocalSpeechError(error.what());
        }
    }
    return formatSpokenWords(words);
}

} // namespace quillo
