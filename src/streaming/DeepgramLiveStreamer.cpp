#include "streaming/DeepgramLiveStreamer.h"

#include <algorithm>
#include <future>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/IfAlive.h"
#include "platform/Credentials.h"
#include "platform/Preferences.h"
#include "platform/ServiceEndpoints.h"
#include "settings/Settings.h"
#include "transcription/EngineRouting.h"
#include "transcription/OpenAIService.h"
#include "transcription/ServiceURL.h"

namespace quillo {

namespace {

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
    if (!Settings(preferences).get(setting::streamingEnabled)) {
        return false;
    }
    // The same route the pipeline takes: without a Deepgram key the dictation
    // runs elsewhere, so streaming would only be thrown away.
    const EngineRoute route = currentRoute(preferences, credentials, languages);
    if (route.speech != TranscriptionEngine::deepgram) {
        return false;
    }
    return languages == LanguageSet{"en"};
}

std::optional<std::string> DeepgramLiveStreamer::streamURL(const std::string& endpoint)
{
    auto url = ServiceURL::parse(endpoint);
    if (!url || (url->scheme() != "ws" && url->scheme() != "wss") || (!url->isEncrypted() && !url->isLoopback())) {
        return std::nullopt;
    }
    url->addQueryItem("model", OpenAIService::deepgramModel);
    url->addQueryItem("encoding", "linear16");
    url->addQueryItem("sample_rate", "16000");
    url->addQueryItem("channels", "1");
    url->addQueryItem("language", "en");
    url->addQueryItem("punctuate", "true");
    url->addQueryItem("smart_format", "true");
    url->addQueryItem("interim_results", "true");
    return url->text();
}

std::shared_ptr<DeepgramLiveStreamer> DeepgramLiveStreamer::create(Dependencies deps, Timing timing)
{
    return std::shared_ptr<DeepgramLiveStreamer>(new DeepgramLiveStreamer(deps, timing));
}

DeepgramLiveStreamer::DeepgramLiveStreamer(Dependencies deps, Timing timing) : m_deps(deps), m_timing(timing) {}

DeepgramLiveStreamer::~DeepgramLiveStreamer()
{
    {
        std::lock_guard guard(m_lock);
        m_destroying = true;
    }
    m_changed.notify_all();
    if (m_pingWatch.joinable()) {
        m_pingWatch.join();
    }
}

void DeepgramLiveStreamer::markDead()
{
    {
        std::lock_guard guard(m_lock);
        m_streamDead = true;
    }
    m_changed.notify_all();
}

void DeepgramLiveStreamer::watchPing()
{
    // The thread is joined before the streamer goes, so it may use `this`;
    // holding a strong reference here could make it the one to destroy it.
    m_pingWatch = std::thread([this] {
        std::unique_lock lock(m_lock);
        const bool settled = m_changed.wait_for(lock, m_timing.pingDeadline, [this] {
            return m_connectionOK || m_streamDead || m_destroying;
        });
        if (!settled) {
            m_streamDead = true;
            lock.unlock();
            m_changed.notify_all();
        }
    });
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
            {
                std::lock_guard guard(self->m_lock);
                if (ok) {
                    self->m_connectionOK = true;
                } else {
                    self->m_streamDead = true;
                }
            }
            self->m_changed.notify_all();
        }
    });
    // A server that accepts the connection but never answers would otherwise
    // hold the dictation for the whole flush wait with nothing to show.
    watchPing();
    receiveLoop(socket);

    m_pending.reserve(kSamplesPerMessage);
    m_audio = m_deps.capture.start(kFormat,
                                   ifAlive(weak, [](DeepgramLiveStreamer& self, std::span<const std::int16_t> samples) {
                                       self.capture(samples);
                                   }));
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
            {
                std::lock_guard guard(self->m_lock);
                if (!self->m_gotFinalFlush) {
                    self->m_streamDead = true;
                }
            }
            self->m_changed.notify_all();
            return;
        }
        if (message->data.size() > kMaxMessageBytes) {
            // Nothing the service sends is this large; stop before more come.
            self->markDead();
            if (auto open = weakSocket.lock()) {
                open->cancel(WebSocket::kNormalClosure);
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
        {
            std::lock_guard guard(m_lock);
            m_gotFinalFlush = true;
        }
        m_changed.notify_all();
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

    {
        // Woken by the final message itself, so the text is ready the moment
        // the server is done.
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, m_timing.flushWait, [this] { return m_gotFinalFlush || m_streamDead; });
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
