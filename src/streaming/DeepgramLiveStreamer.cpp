#include "streaming/DeepgramLiveStreamer.h"

#include <algorithm>
#include <future>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Credentials.h"
#include "platform/Preferences.h"
#include "platform/ServiceEndpoints.h"
#include "transcription/EngineRouting.h"
#include "transcription/OpenAIService.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo {

namespace {

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string trimmed(const std::string& text)
{
    constexpr const char* kWhitespace = " \t\n\r\f\v";
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kWhitespace);
    return text.substr(first, last - first + 1);
}

} // namespace

bool DeepgramLiveStreamer::shouldStream(const Preferences& preferences,
                                        const Credentials& credentials,
                                        const LanguageSet& languages)
{
    if (!preferences.boolForKey(kPreferenceKey)) {
        return false;
    }
    // The same route the pipeline takes: without a Deepgram key the dictation
    // runs elsewhere, so streaming would only be thrown away.
    const EngineRoute route =
        routeDictation(TranscriptionEngine::current(preferences), languages, ConfiguredKeys::of(credentials));
    if (route.speech != TranscriptionEngine::deepgram) {
        return false;
    }
    return languages == LanguageSet{"en"};
}

std::optional<std::string> DeepgramLiveStreamer::streamURL(const std::string& endpoint)
{
    std::string rest;
    if (startsWith(endpoint, "wss://")) {
        rest = endpoint.substr(6);
    } else if (startsWith(endpoint, "ws://")) {
        rest = endpoint.substr(5);
    } else {
        return std::nullopt;
    }
    // A host is required, and the endpoint carries no query or fragment of its own.
    if (rest.empty() || rest.front() == '/' || rest.front() == ':' ||
        endpoint.find_first_of("?# \t\r\n") != std::string::npos) {
        return std::nullopt;
    }
    return endpoint + "?model=" + OpenAIService::deepgramModel +
           "&encoding=linear16&sample_rate=16000&channels=1&language=en"
           "&punctuate=true&smart_format=true&interim_results=true";
}

std::shared_ptr<DeepgramLiveStreamer> DeepgramLiveStreamer::create(Dependencies deps, Timing timing)
{
    return std::shared_ptr<DeepgramLiveStreamer>(new DeepgramLiveStreamer(deps, timing));
}

DeepgramLiveStreamer::DeepgramLiveStreamer(Dependencies deps, Timing timing) : m_deps(deps), m_timing(timing) {}

void DeepgramLiveStreamer::markDead()
{
    std::lock_guard guard(m_lock);
    m_streamDead = true;
}

bool DeepgramLiveStreamer::isDead()
{
    std::lock_guard guard(m_lock);
    return m_streamDead;
}

void DeepgramLiveStreamer::start()
{
    const auto url = streamURL(m_deps.endpoints.deepgramStreamURL());
    if (!url) {
        markDead();
        return;
    }
    const auto key = m_deps.credentials.deepgramKey();
    auto socket =
        m_deps.connector.connect(*url, {{"Authorization", "Token " + key.value_or("")}}, m_timing.connectTimeout);
    if (!socket) {
        markDead();
        return;
    }
    m_socket = socket;

    std::weak_ptr<DeepgramLiveStreamer> weak = weak_from_this();
    socket->sendPing([weak](bool ok) {
        if (auto self = weak.lock()) {
            std::lock_guard guard(self->m_lock);
            if (ok) {
                self->m_connectionOK = true;
            } else {
                self->m_streamDead = true;
            }
        }
    });
    // A server that accepts the connection but never answers would otherwise
    // hold the dictation for the whole flush wait with nothing to show.
    std::thread([weak, deadline = m_timing.pingDeadline] {
        std::this_thread::sleep_for(deadline);
        if (auto self = weak.lock()) {
            std::lock_guard guard(self->m_lock);
            if (!self->m_connectionOK && !self->m_streamDead) {
                self->m_streamDead = true;
            }
        }
    }).detach();
    receiveLoop(socket);

    m_pending.reserve(kSamplesPerMessage);
    m_audio = m_deps.capture.start(kFormat, [weak](std::span<const std::int16_t> samples) {
        if (auto self = weak.lock()) {
            self->capture(samples);
        }
    });
    if (!m_audio) {
        markDead();
    }
}

void DeepgramLiveStreamer::capture(std::span<const std::int16_t> samples)
{
    if (!m_level.heardSpeech()) {
        // Nothing goes out before the first word, so a silent recording sends
        // nothing at all; the moments just before it are kept for its onset.
        m_level.add(samples);
        m_beforeSpeech.insert(m_beforeSpeech.end(), samples.begin(), samples.end());
        if (!m_level.heardSpeech()) {
            // The service closes a connection that carries nothing for about
            // ten seconds; a long pause before the first word must not end it.
            if (m_level.sampleCount() / kKeepAliveSamples !=
                    (m_level.sampleCount() - samples.size()) / kKeepAliveSamples &&
                m_socket && !isDead()) {
                m_socket->sendText(kKeepAlive, [](bool) {});
            }
            if (m_beforeSpeech.size() > kSamplesBeforeSpeech) {
                m_beforeSpeech.erase(m_beforeSpeech.begin(),
                                     m_beforeSpeech.end() - static_cast<std::ptrdiff_t>(kSamplesBeforeSpeech));
            }
            return;
        }
        const std::vector<std::int16_t> held = std::exchange(m_beforeSpeech, {});
        queue(held);
        return;
    }
    queue(samples);
}

void DeepgramLiveStreamer::queue(std::span<const std::int16_t> samples)
{
    while (!samples.empty()) {
        const auto take = std::min(samples.size(), kSamplesPerMessage - m_pending.size());
        m_pending.insert(m_pending.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(take));
        samples = samples.subspan(take);
        if (m_pending.size() == kSamplesPerMessage) {
            sendBuffer(m_pending);
            m_pending.clear();
        }
    }
}

void DeepgramLiveStreamer::sendBuffer(std::span<const std::int16_t> samples)
{
    if (isDead() || !m_socket || samples.empty()) {
        return;
    }
    // Little-endian whatever the host, as the linear16 encoding requires.
    std::string bytes(samples.size() * 2, '\0');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<char>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(value >> 8);
    }
    std::weak_ptr<DeepgramLiveStreamer> weak = weak_from_this();
    m_socket->sendBinary(std::move(bytes), [weak](bool ok) {
        if (auto self = weak.lock(); self && !ok) {
            self->markDead();
        }
    });
}

void DeepgramLiveStreamer::receiveLoop(const std::shared_ptr<WebSocket>& socket)
{
    std::weak_ptr<DeepgramLiveStreamer> weak = weak_from_this();
    std::weak_ptr<WebSocket> weakSocket = socket;
    socket->receive([weak, weakSocket](std::optional<WebSocket::Message> message) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (!message) {
            std::lock_guard guard(self->m_lock);
            if (!self->m_gotFinalFlush) {
                self->m_streamDead = true;
            }
            return;
        }
        if (!message->binary) {
            self->handleMessage(message->data);
        }
        if (auto next = weakSocket.lock()) {
            self->receiveLoop(next);
        }
    });
}

void DeepgramLiveStreamer::handleMessage(const std::string& text)
{
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return;
    }
    if (const auto type = json.find("type"); type != json.end() && type->is_string() && *type == "Metadata") {
        std::lock_guard guard(m_lock);
        m_gotFinalFlush = true;
        return;
    }
    const auto channel = json.find("channel");
    if (channel == json.end() || !channel->is_object()) {
        return;
    }
    const auto alternatives = channel->find("alternatives");
    if (alternatives == channel->end() || !alternatives->is_array() || alternatives->empty() ||
        !alternatives->front().is_object()) {
        return;
    }
    const auto transcript = alternatives->front().find("transcript");
    if (transcript == alternatives->front().end() || !transcript->is_string()) {
        return;
    }
    const auto isFinal = json.find("is_final");
    const bool final = isFinal != json.end() && isFinal->is_boolean() && isFinal->get<bool>();

    std::lock_guard guard(m_lock);
    if (final) {
        if (!transcript->get_ref<const std::string&>().empty()) {
            m_finalSegments.push_back(transcript->get<std::string>());
        }
        m_lastInterim.clear();
    } else {
        m_lastInterim = transcript->get<std::string>();
    }
}

void DeepgramLiveStreamer::stopAudio()
{
    if (m_audio) {
        m_audio->stop();
    }
}

std::optional<std::string> DeepgramLiveStreamer::finish()
{
    stopAudio();
    if (isDead() || !m_socket) {
        cancel();
        return std::nullopt;
    }
    // The tail of the speech that did not fill a whole message.
    sendBuffer(m_pending);
    m_pending.clear();

    std::promise<void> sent;
    m_socket->sendText(kCloseStream, [&sent](bool) { sent.set_value(); });
    sent.get_future().wait();

    for (int poll = 0; poll < m_timing.flushPolls; ++poll) {
        {
            std::lock_guard guard(m_lock);
            if (m_gotFinalFlush || m_streamDead) {
                break;
            }
        }
        std::this_thread::sleep_for(m_timing.flushPoll);
    }
    m_socket->cancel(WebSocket::kNormalClosure);
    m_socket.reset();

    std::string text;
    bool dead = false;
    {
        std::lock_guard guard(m_lock);
        dead = m_streamDead;
        for (const auto& segment : m_finalSegments) {
            if (!text.empty()) {
                text += ' ';
            }
            text += segment;
        }
        if (!m_lastInterim.empty()) {
            if (!text.empty()) {
                text += ' ';
            }
            text += m_lastInterim;
        }
    }
    if (dead) {
        return std::nullopt;
    }
    text = trimmed(text);
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

void DeepgramLiveStreamer::cancel()
{
    stopAudio();
    if (m_socket) {
        m_socket->cancel(WebSocket::kNormalClosure);
        m_socket.reset();
    }
}

} // namespace quillo
