#include "transcription/LocalSpeechEngine.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/SampleListener.h"
#include "platform/AudioDecoder.h"
#include "platform/Log.h"
#include "platform/SpeechRecognizer.h"

namespace quillo {

namespace {

using Clock = std::chrono::steady_clock;

// Recordings heard but never collected (their dictation went another way)
// are dropped beyond this many.
constexpr std::size_t kMaxUncollected = 4;
// How often the partial words are brought up to date while the user speaks.
constexpr auto kPartialEvery = std::chrono::milliseconds(300);

// Single-producer, single-consumer ring of samples: the capture thread writes,
// the recogniser's thread reads, and neither ever waits for the other.
class SampleRing
{
public:
    explicit SampleRing(std::size_t capacity)
        : m_capacity(capacity), m_buffer(std::make_unique_for_overwrite<std::int16_t[]>(capacity))
    {}

    // Producer. False, and nothing written, when the samples do not fit.
    bool push(std::span<const std::int16_t> samples)
    {
        const std::size_t write = m_write.load(std::memory_order_relaxed);
        const std::size_t read = m_read.load(std::memory_order_acquire);
        if (m_capacity - (write - read) < samples.size()) {
            return false;
        }
        const std::size_t start = write % m_capacity;
        const std::size_t first = std::min(samples.size(), m_capacity - start);
        std::memcpy(m_buffer.get() + start, samples.data(), first * sizeof(std::int16_t));
        std::memcpy(m_buffer.get(), samples.data() + first, (samples.size() - first) * sizeof(std::int16_t));
        m_write.store(write + samples.size(), std::memory_order_release);
        return true;
    }

    // Consumer.
    std::size_t available() const
    {
        return m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
    }

    // Consumer: takes `count` samples, no more than available().
    void pop(std::int16_t* out, std::size_t count)
    {
        const std::size_t read = m_read.load(std::memory_order_relaxed);
        const std::size_t start = read % m_capacity;
        const std::size_t first = std::min(count, m_capacity - start);
        std::memcpy(out, m_buffer.get() + start, first * sizeof(std::int16_t));
        std::memcpy(out + first, m_buffer.get(), (count - first) * sizeof(std::int16_t));
        m_read.store(read + count, std::memory_order_release);
    }

private:
    const std::size_t m_capacity;
    std::unique_ptr<std::int16_t[]> m_buffer;
    std::atomic<std::size_t> m_write{0};
    std::atomic<std::size_t> m_read{0};
};

// Ends an utterance that failed half-way, so the next one can begin.
void abandonUtterance(SpeechRecognizer& recognizer)
{
    try {
        recognizer.endUtterance();
    } catch (const std::exception&) {
    }
}

} // namespace

// One recording heard as it is made. Its thread waits for the model, then
// feeds the recogniser what the capture has put in the ring, piece by piece.
// The thread owns the utterance with whoever else holds it, and counts as a
// use of the engine until it ends, so the engine outlives it.
class LocalSpeechEngine::Utterance final : public SampleListener, public std::enable_shared_from_this<Utterance>
{
public:
    explicit Utterance(LocalSpeechEngine& engine) : m_engine(engine), m_ring(kBacklogSamples) {}

    void start()
    {
        m_engine.beginUse();
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

    void hear(std::span<const std::int16_t> samples) override
    {
        if (!m_ring.push(samples)) {
            m_overflowed.store(true, std::memory_order_relaxed);
        }
        wake();
    }

    void recordingEnded(bool kept) override
    {
        m_ending.store(kept ? Ending::kept : Ending::discarded, std::memory_order_release);
        wake();
    }

    bool discarded() const { return m_ending.load(std::memory_order_acquire) == Ending::discarded; }

    // The words once the recording has ended and been worked through; nothing
    // when they could not be heard (the model failed to load, the backlog
    // overflowed), so the file has to be decoded. Once only.
    std::optional<std::string> words()
    {
        std::unique_lock lock(m_resultLock);
        m_finished.wait(lock, [this] { return m_done; });
        return std::move(m_words);
    }

    std::string partialWords() const
    {
        const std::lock_guard lock(m_resultLock);
        return m_partial;
    }

private:
    enum class Ending
    {
        open,
        kept,
        discarded
    };

    void wake()
    {
        m_signal.fetch_add(1, std::memory_order_release);
        m_signal.notify_one();
    }

    void run()
    {
        std::optional<std::string> words;
        try {
            m_engine.ensureLoaded();
            const std::lock_guard lock(m_engine.m_recognizing);
            m_engine.preferDictionaryWords();
            words = recognize(m_engine.m_deps.recognizer);
        } catch (const std::exception&) {
            // A load failure is logged; the file decode tries again and reports it.
        }
        {
            const std::lock_guard lock(m_resultLock);
            m_words = std::move(words);
            m_done = true;
        }
        m_finished.notify_all();
        m_engine.endUse(); // the engine may go right after this
    }

    std::optional<std::string> recognize(SpeechRecognizer& recognizer)
    {
        recognizer.beginUtterance();
        std::vector<std::int16_t> piece(kPieceSamples);
        auto partialDue = Clock::now(); // the first piece gives the first guess
        try {
            for (;;) {
                const std::uint32_t seen = m_signal.load(std::memory_order_acquire);
                const Ending ending = m_ending.load(std::memory_order_acquire);
                if (ending == Ending::discarded || m_overflowed.load(std::memory_order_relaxed)) {
                    abandonUtterance(recognizer);
                    return std::nullopt;
                }
                const std::size_t available = m_ring.available();
                if (available >= kPieceSamples || (ending == Ending::kept && available > 0)) {
                    const std::size_t count = std::min(available, kPieceSamples);
                    m_ring.pop(piece.data(), count);
                    recognizer.process({piece.data(), count});
                    if (ending == Ending::open && Clock::now() >= partialDue) {
                        std::string partial = recognizer.partialWords();
                        const std::lock_guard lock(m_resultLock);
                        m_partial = std::move(partial);
                        partialDue = Clock::now() + kPartialEvery;
                    }
                } else if (ending == Ending::kept) {
                    break;
                } else {
                    m_signal.wait(seen, std::memory_order_acquire);
                }
            }
        } catch (const std::exception&) {
            abandonUtterance(recognizer);
            throw;
        }
        return recognizer.endUtterance();
    }

    LocalSpeechEngine& m_engine;
    SampleRing m_ring;
    std::atomic<Ending> m_ending{Ending::open};
    std::atomic<bool> m_overflowed{false};
    std::atomic<std::uint32_t> m_signal{0}; // bumped whenever there is news for the thread
    // Never touched by the capture thread.
    mutable std::mutex m_resultLock;
    std::condition_variable m_finished;
    bool m_done = false;
    std::optional<std::string> m_words;
    std::string m_partial;
};

LocalSpeechEngine::LocalSpeechEngine(Dependencies dependencies)
    : m_deps(dependencies), m_unloader([this](std::stop_token stop) { unloadWhenIdle(stop); })
{}

LocalSpeechEngine::~LocalSpeechEngine()
{
    m_unloader.request_stop();
    m_unloader = {};
    // The recordings' threads use the engine: they end before it does.
    std::unique_lock state(m_state);
    for (const auto& [path, utterance] : m_heard) {
        utterance->recordingEnded(false);
    }
    m_stateChanged.wait(state, [this] { return m_users == 0; });
}

std::string LocalSpeechEngine::modelName() const
{
    return m_deps.recognizer.modelName();
}

void LocalSpeechEngine::preload()
{
    const std::lock_guard state(m_state);
    if (m_loaded || m_preloading) {
        return;
    }
    m_preloading = true;
    if (m_preload.joinable()) {
        m_preload.join(); // it has finished: it cleared m_preloading
    }
    m_preload = std::jthread([this] {
        try {
            ensureLoaded();
        } catch (const LocalSpeechError&) {
            // Already logged; the next dictation tries again and reports it.
        }
        const std::lock_guard done(m_state);
        m_preloading = false;
    });
}

void LocalSpeechEngine::ensureLoaded()
{
    // Concurrent callers wait for the one load in progress; a load that throws
    // leaves the model unloaded, so the next call retries.
    const std::lock_guard loading(m_loading);
    {
        const std::lock_guard state(m_state);
        if (m_loaded) {
            return;
        }
    }
    SpeechRecognizer::LoadReport report;
    try {
        report = m_deps.recognizer.load();
    } catch (const std::exception& error) {
        m_deps.log.write("[Quillo] Offline model " + modelName() + " failed to load: " + error.what());
        throw LocalSpeechError(error.what());
    }
    {
        const std::lock_guard state(m_state);
        m_loaded = true;
        m_lastUsed = Clock::now();
    }
    m_stateChanged.notify_all();
    char figures[96];
    std::snprintf(figures,
                  sizeof figures,
                  " loaded in %.2fs, %.1f MB resident",
                  report.seconds,
                  static_cast<double>(report.residentBytes) / (1024.0 * 1024.0));
    m_deps.log.write("[Quillo] Offline model " + modelName() + figures);
}

void LocalSpeechEngine::beginUse()
{
    const std::lock_guard state(m_state);
    ++m_users;
}

void LocalSpeechEngine::endUse()
{
    const std::lock_guard state(m_state);
    --m_users;
    m_lastUsed = Clock::now();
    // Under the lock: a destructor waiting for the last use cannot finish
    // before this call has.
    m_stateChanged.notify_all();
}

void LocalSpeechEngine::unloadWhenIdle(std::stop_token stop)
{
    std::unique_lock state(m_state);
    while (!stop.stop_requested()) {
        if (!m_loaded || m_users > 0) {
            m_stateChanged.wait(state, stop, [this] { return m_loaded && m_users == 0; });
            continue;
        }
        const auto due = m_lastUsed + m_deps.unloadAfter;
        if (Clock::now() < due) {
            m_stateChanged.wait_until(state, stop, due, [] { return false; });
            continue;
        }
        // A load in progress finishes first; a use that began meanwhile wins.
        state.unlock();
        const std::lock_guard loading(m_loading);
        state.lock();
        if (m_loaded && m_users == 0 && Clock::now() >= m_lastUsed + m_deps.unloadAfter) {
            m_deps.recognizer.unload();
            m_loaded = false;
            const double seconds = std::chrono::duration<double>(m_deps.unloadAfter).count();
            char after[48];
            if (seconds >= 60) {
                std::snprintf(after, sizeof after, "%.0f minutes", seconds / 60);
            } else {
                std::snprintf(after, sizeof after, "%.1fs", seconds);
            }
            m_deps.log.write("[Quillo] Offline model " + modelName() + " unloaded after " + after + " unused");
        }
    }
}

std::shared_ptr<SampleListener> LocalSpeechEngine::hear(const std::string& audioPath)
{
    auto utterance = std::make_shared<Utterance>(*this);
    utterance->start();
    const std::lock_guard state(m_state);
    std::erase_if(m_heard, [](const auto& entry) { return entry.second->discarded(); });
    // Paths name their recording's time, so the first is the oldest.
    while (m_heard.size() >= kMaxUncollected) {
        m_heard.begin()->second->recordingEnded(false);
        m_heard.erase(m_heard.begin());
    }
    m_heard[audioPath] = utterance;
    m_current = utterance;
    return utterance;
}

SpokenText LocalSpeechEngine::transcribe(const std::string& audioPath, const std::function<std::string()>& readAudio)
{
    std::shared_ptr<Utterance> heard;
    {
        const std::lock_guard state(m_state);
        if (const auto it = m_heard.find(audioPath); it != m_heard.end()) {
            heard = std::move(it->second);
            m_heard.erase(it);
        }
    }
    if (heard) {
        if (auto words = heard->words()) {
            return formatSpokenWords(*words);
        }
    }

    const std::string audio = readAudio();
    beginUse();
    struct EndUse
    {
        LocalSpeechEngine& engine;
        ~EndUse() { engine.endUse(); }
    } endUse{*this};
    ensureLoaded();
    std::vector<std::int16_t> samples;
    try {
        samples = m_deps.decoder.decodeMono(audio, SpeechRecognizer::kSampleRate);
    } catch (const std::exception& error) {
        throw LocalSpeechError(error.what());
    }
    return formatSpokenWords(recognize(samples));
}

std::string LocalSpeechEngine::recognize(const std::vector<std::int16_t>& samples)
{
    if (samples.empty()) {
        return {};
    }
    const std::lock_guard lock(m_recognizing);
    preferDictionaryWords();
    SpeechRecognizer& recognizer = m_deps.recognizer;
    try {
        recognizer.beginUtterance();
        // The same pieces as a recording heard live.
        for (std::size_t at = 0; at < samples.size(); at += kPieceSamples) {
            recognizer.process(std::span(samples).subspan(at, std::min(kPieceSamples, samples.size() - at)));
        }
        return recognizer.endUtterance();
    } catch (const std::exception& error) {
        abandonUtterance(recognizer);
        throw LocalSpeechError(error.what());
    }
}

void LocalSpeechEngine::preferDictionaryWords()
{
    if (!m_deps.dictionaryWords) {
        return;
    }
    try {
        m_deps.recognizer.preferWords(m_deps.dictionaryWords());
    } catch (const std::exception& error) {
        // The words are still heard, only not favoured.
        m_deps.log.write(std::string("[Quillo] Offline model: dictionary words not favoured: ") + error.what());
    }
}

std::vector<std::string> LocalSpeechEngine::unknownWords(const std::vector<std::string>& words) const
{
    return m_deps.recognizer.unknownWords(words);
}

std::string LocalSpeechEngine::partialWords() const
{
    std::shared_ptr<Utterance> current;
    {
        const std::lock_guard state(m_state);
        current = m_current.lock();
    }
    return current && !current->discarded() ? current->partialWords() : std::string();
}

} // namespace quillo
