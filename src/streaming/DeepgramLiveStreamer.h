#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/SpeechLevel.h"
#include "platform/AudioCapture.h"
#include "platform/WebSocket.h"
#include "streaming/LiveStreamer.h"
#include "transcription/QuilloLanguage.h"

namespace quillo {

class Credentials;
class Preferences;
class ServiceEndpoints;

// Streams one recording to the live speech-to-text endpoint while the user
// speaks and collects the transcripts it sends back. Every failure is silent:
// the stream is marked dead and finish() yields nothing, so the recorded file
// is uploaded instead.
//
// Threads: start() on the main thread; sendBuffer on the capture thread;
// ping, send and receive completions on the connection's thread; the ping
// deadline on a thread the streamer owns and joins when destroyed; finish()
// on the dictation's background task. Callbacks hold the streamer weakly.
class DeepgramLiveStreamer final : public LiveStreamer, public std::enable_shared_from_this<DeepgramLiveStreamer>
{
public:
    struct Dependencies
    {
        WebSocketConnector& connector;
        AudioCapture& capture;
        const Credentials& credentials;
        const ServiceEndpoints& endpoints;
    };

    // Tests shorten these; the defaults are what the app uses.
    struct Timing
    {
        std::chrono::milliseconds connectTimeout{5000};
        std::chrono::milliseconds pingDeadline{2500};
        // How long finish() waits for the server's final message.
        std::chrono::milliseconds flushWait{1500};
    };

    static constexpr AudioFormat kFormat{16000, 1};
    // 85 ms of audio per binary message, the size the service handles well
    // and small enough that the last words arrive with little delay.
    static constexpr std::size_t kSamplesPerMessage = 1360;
    // Held back until the first word and sent with it: half a second.
    static constexpr std::size_t kSamplesBeforeSpeech = 8000;
    // Sent every four seconds of audio held back, so the connection stays open.
    static constexpr const char* kKeepAlive = R"({"type":"KeepAlive"})";
    static constexpr std::uint64_t kKeepAliveSamples = 64000;
    static constexpr const char* kCloseStream = R"({"type":"CloseStream"})";
    // A message this large is no transcript; it ends the stream.
    static constexpr std::size_t kMaxMessageBytes = WebSocket::kMaxMessageBytes;

    // Whether a recording with these enabled languages streams: the switch is
    // on, the dictation is routed to Deepgram (so its key is configured), and
    // the set is English alone.
    static bool
    shouldStream(const Preferences& preferences, const Credentials& credentials, const LanguageSet& languages);
    // The endpoint with the query items the service needs after any it has;
    // nothing when the endpoint is not a ws:// or wss:// URL, or is ws:// to
    // another computer (the key would travel unencrypted).
    static std::optional<std::string> streamURL(const std::string& endpoint);

    static std::shared_ptr<DeepgramLiveStreamer> create(Dependencies deps, Timing timing);
    static std::shared_ptr<DeepgramLiveStreamer> create(Dependencies deps) { return create(deps, Timing{}); }

    ~DeepgramLiveStreamer() override;

    void start() override;
    std::optional<std::string> finish() override;
    void cancel() override;

private:
    DeepgramLiveStreamer(Dependencies deps, Timing timing);

    void capture(std::span<const std::int16_t> samples);
    void queue(std::span<const std::int16_t> samples);
    void sendBuffer(std::span<const std::int16_t> samples);
    void receiveLoop(const std::shared_ptr<WebSocket>& socket);
    void handleMessage(const std::string& text);
    void stopAudio();
    void markDead();
    bool isDead();
    void watchPing();

    Dependencies m_deps;
    Timing m_timing;

    std::unique_ptr<AudioCapture::Stream> m_audio;
    // Captured samples not yet sent; touched only by the capture's sink and,
    // once the capture has stopped, by finish().
    std::vector<std::int16_t> m_pending;
    // Likewise: the level so far, and the audio held back until speech starts.
    SpeechLevelMeter m_level;
    std::vector<std::int16_t> m_beforeSpeech;
    // Set in start() before capture begins and cleared only after it stopped,
    // so the capture thread reads it without the lock.
    std::shared_ptr<WebSocket> m_socket;

    std::mutex m_lock; // guards the fields below
    // Signalled whenever a flag below changes, and on destruction.
    std::condition_variable m_changed;
    std::vector<std::string> m_finalSegments;
    std::string m_lastInterim;
    bool m_connectionOK = false;
    bool m_streamDead = false;
    bool m_gotFinalFlush = false;
    bool m_destroying = false;

    // Marks the stream dead when the ping is not answered in time.
    std::thread m_pingWatch;
};

// Makes a streamer for each recording that should stream.
class DeepgramLiveStreamerFactory final : public LiveStreamerFactory
{
public:
    DeepgramLiveStreamerFactory(const Preferences& preferences, DeepgramLiveStreamer::Dependencies deps)
        : m_preferences(preferences), m_deps(deps)
    {}

    bool shouldStream(const std::set<std::string>& languages) override
    {
        return DeepgramLiveStreamer::shouldStream(m_preferences, m_deps.credentials, languages);
    }
    std::shared_ptr<LiveStreamer> create() override { return DeepgramLiveStreamer::create(m_deps); }

private:
    const Preferences& m_preferences;
    DeepgramLiveStreamer::Dependencies m_deps;
};

} // namespace quillo
