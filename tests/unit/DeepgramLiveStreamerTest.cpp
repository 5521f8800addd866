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

    // The server sends Metadata as soon as the close request arrives.
    void flushOnClose()
    {
        socket().onText = [](FakeWebSocket& s) { s.deliverText(R"({"type":"Metadata","duration":1.5})"); };
    }

    static std::string result(bool isFinal, const std::string& transcript)
    {
        return R"({"type":"Results","is_final":)" + std::string(isFinal ? "true" : "false") +
               R"(,"speech_final":false,"channel":{"alternatives":[{"transcript":")" + transcript +
               R"(","confidence":0.9}]}})";
    }

    bool sentCloseStream() const
    {
        const auto sent = connector.socket->sent();
        return std::any_of(sent.begin(), sent.end(), [](const FakeWebSocket::Sent& message) {
            return !message.binary && message.data == DeepgramLiveStreamer::kCloseStream;
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
    flushOnClose();
    // 1.5 messages' worth in uneven blocks, as the capture delivers them.
    std::vector<std::int16_t> samples(2040);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(i % 2 ? -static_cast<int>(i) : static_cast<int>(i));
    }
    capture->deliver({samples.begin(), samples.begin() + 700});
    capture->deliver({samples.begin() + 700, samples.begin() + 1900});
    capture->deliver({samples.begin() + 1900, samples.end()});
    EXPECT_EQ(socket().sent().size(), 1u); // only whole messages while recording

    streamer->finish();
    const auto sent = socket().sent();
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

TEST_F(DeepgramStreamerTest, TranscriptIsTheFinalsJoinedWithSingleSpacesThenTheLastInterim)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> messages; // "<binary>" stands for a binary message
        std::optional<std::string> expected;
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connector.socket = std::make_shared<FakeWebSocket>();
        auto streamer = connected();
        flushOnClose();
        for (const auto& message : c.messages) {
            socket().deliver(WebSocket::Message{message == "<binary>", message});
        }
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(streamer->finish(), c.expected);
        // Metadata ends the wait at once rather than after the whole flush wait.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 100ms);
    }
}

TEST_F(DeepgramStreamerTest, TroubleAtTheEndKeepsTheWordsSoFar)
{
    const auto finishWith = [&](auto&& arrange) {
        connector.socket = std::make_shared<FakeWebSocket>();
        auto streamer = connected();
        arrange(socket());
        socket().deliverText(result(true, "Kept."));
        socket().deliverText(result(false, "still talking"));
        return streamer->finish();
    };

    // Without Metadata the wait ends after the flush wait.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(finishWith([](FakeWebSocket&) {}), "Kept. still talking");
    EXPECT_GE(std::chrono::steady_clock::now() - started, timing.flushWait);

    EXPECT_EQ(finishWith([](FakeWebSocket& s) {
                  s.onText = [](FakeWebSocket& server) {
                      server.deliverText(R"({"type":"Metadata"})");
                      server.deliver(std::nullopt); // the server closes right after
                  };
              }),
              "Kept. still talking")
        << "a receive error after the flush";
}

// Each failure leaves the stream dead: finish() yields nothing, and once the
// failure is known before the end it sends no close request either.
TEST_F(DeepgramStreamerTest, EveryFailureYieldsNothing)
{
    struct Case
    {
        const char* name;
        std::function<void()> breakIt; // after the server answered the ping
        bool closeRequestSent = false;
    };
    const std::vector<Case> cases = {
        {"no pong in time", nullptr},
        {"capture cannot start", [] {}},
        {"send error",
         [&] {
             socket().failSends = true;
             capture->deliver(std::vector<std::int16_t>(1360, 3000));
         }},
        {"receive error before the flush", [&] { socket().deliver(std::nullopt); }},
        {"a message over a megabyte",
         [&] { socket().deliverText(std::string(DeepgramLiveStreamer::kMaxMessageBytes + 1, ' ')); }},
        {"dropped after the close request, before Metadata",
         [&] { socket().onText = [](FakeWebSocket& s) { s.deliver(std::nullopt); }; },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connector.socket = std::make_shared<FakeWebSocket>();
        capture = std::make_unique<FakeAudioCapture>(devices);
        capture->failStart = c.name == std::string("capture cannot start");
        flushOnClose();
        auto streamer = makeStreamer();
        streamer->start();
        socket().deliverText(result(true, "Lost words."));
        if (c.breakIt) {
            socket().answerPing(true);
            c.breakIt();
        } else {
            std::this_thread::sleep_for(timing.pingDeadline + 50ms);
        }
        EXPECT_EQ(streamer->finish(), std::nullopt);
        EXPECT_EQ(sentCloseStream(), c.closeRequestSent);
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
