#include "streaming/DeepgramLiveStreamer.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/FakeAudio.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/FakeWebSocket.h"
#include "settings/Settings.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

// Streaming follows the dictation's route: without a Deepgram key the
// dictation runs elsewhere and the stream would be thrown away.
TEST(DeepgramStreamerShouldStream, OnlyEnglishAloneRoutedToDeepgramWithTheSwitchOnAndItsKey)
{
    FakePreferences preferences;
    FakeCredentials keys;
    const auto should = [&](const LanguageSet& languages) {
        return DeepgramLiveStreamer::shouldStream(preferences, keys, languages);
    };
    keys.openAI.reset();
    EXPECT_TRUE(should({"en"})) << "the OpenAI key does not matter";
    EXPECT_FALSE(should({"en", "de"}));
    keys.deepgram = "  ";
    EXPECT_FALSE(should({"en"}));
    keys = FakeCredentials{};
    preferences.setObject("quillo.transcriptionEngine", "openai");
    EXPECT_FALSE(should({"en"}));
    preferences.setObject("quillo.transcriptionEngine", "auto");
    preferences.setObject(setting::streamingEnabled.key, false);
    EXPECT_FALSE(should({"en"}));
}

class DeepgramStreamerTest : public ::testing::Test
{
protected:
    DeepgramStreamerTest() { capture = std::make_unique<FakeAudioCapture>(devices); }

    std::shared_ptr<DeepgramLiveStreamer> makeStreamer()
    {
        return DeepgramLiveStreamer::create({connector, *capture, credentials, endpoints}, timing);
    }

    // A started stream whose server has answered the ping.
    std::shared_ptr<DeepgramLiveStreamer> connected()
    {
        auto streamer = makeStreamer();
        streamer->start();
        socket().answerPing(true);
        return streamer;
    }

    FakeWebSocket& socket() { return *connector.socket; }

    static std::string result(bool isFinal, const std::string& transcript)
    {
        return R"({"type":"Results","is_final":)" + std::string(isFinal ? "true" : "false") +
               R"(,"speech_final":false,"channel":{"alternatives":[{"transcript":")" + transcript +
               R"(","confidence":0.9}]}})";
    }

    bool sentCloseStream() const
    {
        return std::ranges::any_of(connector.socket->sent, [](const FakeWebSocket::Sent& message) {
            return message.data == DeepgramLiveStreamer::kCloseStream;
        });
    }

    DeepgramLiveStreamer::Timing timing{5000ms, 100ms, 150ms};
    FakeAudioDevices devices;
    std::unique_ptr<FakeAudioCapture> capture;
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    FakeWebSocketConnector connector;
};

TEST_F(DeepgramStreamerTest, SendsEightyFiveMillisecondLittleEndianMessagesThenTheTailThenCloseStream)
{
    auto streamer = connected();
    // 1.5 messages' worth in uneven blocks, as the capture delivers them.
    std::vector<std::int16_t> samples(2040);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(i % 2 ? -static_cast<int>(i) : static_cast<int>(i));
    }
    capture->deliver({samples.begin(), samples.begin() + 700});
    capture->deliver({samples.begin() + 700, samples.begin() + 1900});
    capture->deliver({samples.begin() + 1900, samples.end()});
    EXPECT_EQ(socket().sent.size(), 1u); // only whole messages while recording

    streamer->finish();
    const auto sent = socket().sent;
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_TRUE(sent[0].binary);
    EXPECT_EQ(sent[0].data.size(), 1360u * 2);
    EXPECT_EQ(sent[1].data.size(), 680u * 2);
    EXPECT_FALSE(sent[2].binary);
    EXPECT_EQ(sent[2].data, R"({"type":"CloseStream"})");

    const std::string bytes = sent[0].data + sent[1].data;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        ASSERT_EQ(static_cast<std::int16_t>(low | (high << 8)), samples[i]) << "sample " << i;
    }
    EXPECT_EQ(socket().closeCodes, std::vector<int>{1000});
}

// The server answers the close request with Metadata (which ends the wait at
// once), with Metadata and a hang-up, or not at all (the flush wait runs out).
TEST_F(DeepgramStreamerTest, TranscriptIsTheFinalsJoinedWithSingleSpacesThenTheLastInterim)
{
    enum class Close
    {
        metadata,
        metadataThenHangUp,
        silence
    };
    struct Case
    {
        const char* name;
        std::vector<std::string> messages; // "<binary>" stands for a binary message
        std::optional<std::string> expected;
        Close close = Close::metadata;
    };
    const Case cases[] = {
        {"finals, noise and a trailing interim",
         {result(false, "Hello"),
          result(true, "Hello there."),
          R"({"type":"SpeechStarted","timestamp":1.2})",
          "<binary>",
          "not json",
          R"({"channel":{"alternatives":[]},"is_final":true})",
          result(true, "How are you?"),
          result(false, "I am")},
         "Hello there. How are you? I am"},
        {"an empty final clears the interim and adds no segment",
         {result(true, "Hello there."), result(false, "uh"), result(true, "")},
         "Hello there."},
        {"white space alone is nothing", {result(true, " \\n "), result(false, "\\t")}, std::nullopt},
        {"no Metadata", {result(true, "Kept."), result(false, "still")}, "Kept. still", Close::silence},
        {"a hang-up after Metadata",
         {result(true, "Kept."), result(false, "still")},
         "Kept. still",
         Close::metadataThenHangUp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connector.socket = std::make_shared<FakeWebSocket>();
        auto streamer = connected();
        if (c.close != Close::silence) {
            socket().onText = [hangUp = c.close == Close::metadataThenHangUp](FakeWebSocket& s) {
                s.deliverText(R"({"type":"Metadata","duration":1.5})");
                if (hangUp) {
                    s.deliver(std::nullopt);
                }
            };
        }
        for (const auto& message : c.messages) {
            socket().deliver(WebSocket::Message{message == "<binary>", message});
        }
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(streamer->finish(), c.expected);
        const auto waited = std::chrono::steady_clock::now() - started;
        if (c.close == Close::silence) {
            EXPECT_GE(waited, timing.flushWait);
        } else {
            EXPECT_LT(waited, 100ms);
        }
    }
}

// Each way the stream dies: finish() yields nothing and sends no close request.
TEST_F(DeepgramStreamerTest, EveryFailureYieldsNothing)
{
    // Each breaks the stream after the server answered the ping.
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"no pong in time", nullptr},
        {"capture cannot start", [] {}},
        {"send error",
         [&] {
             socket().failSends = true;
             capture->deliver(std::vector<std::int16_t>(1360, 3000));
         }},
        {"receive error", [&] { socket().deliver(std::nullopt); }},
        {"a message over a megabyte",
         [&] { socket().deliverText(std::string(DeepgramLiveStreamer::kMaxMessageBytes + 1, ' ')); }},
    };
    for (const auto& [name, breakIt] : cases) {
        SCOPED_TRACE(name);
        connector.socket = std::make_shared<FakeWebSocket>();
        capture = std::make_unique<FakeAudioCapture>(devices);
        capture->failStart = name == std::string("capture cannot start");
        auto streamer = makeStreamer();
        streamer->start();
        socket().deliverText(result(true, "Lost words."));
        if (breakIt) {
            socket().answerPing(true);
            breakIt();
        } else {
            std::this_thread::sleep_for(timing.pingDeadline + 50ms);
        }
        EXPECT_EQ(streamer->finish(), std::nullopt);
        EXPECT_FALSE(sentCloseStream());
        if (!capture->streams.empty()) {
            EXPECT_TRUE(capture->streams.back()->stopped);
        }
    }
}

// ws:// to another computer would send the key in the clear.
TEST_F(DeepgramStreamerTest, ConnectsOnlyToAnEncryptedOrLoopbackURLAndCancelSendsNoCloseStream)
{
    for (const auto* endpoint : {"", "https://deepgram.test/v1/listen", "ws://10.1.2.3/listen"}) {
        endpoints.stream = endpoint;
        auto streamer = makeStreamer();
        streamer->start();
        EXPECT_EQ(streamer->finish(), std::nullopt) << endpoint;
    }
    EXPECT_TRUE(connector.connects.empty());

    endpoints.stream = "ws://127.0.0.1:4711/v1/listen?team=7";
    auto streamer = connected();
    ASSERT_EQ(connector.connects.size(), 1u);
    EXPECT_EQ(connector.connects[0].rfind("ws://127.0.0.1:4711/v1/listen?team=7&model=nova-3&", 0), 0u);
    streamer->cancel();
    EXPECT_TRUE(capture->streams[0]->stopped);
    EXPECT_EQ(socket().closeCodes, std::vector<int>{1000});
    EXPECT_FALSE(sentCloseStream());
}

} // namespace
} // namespace quillo::test
