// The streamer over the real Qt WebSocket client against a loopback server.
// start() runs on this (GUI) thread like the controller's; finish() runs on a
// worker thread while this thread keeps the server's event loop turning.

#include <chrono>
#include <future>
#include <thread>

#include <QTest>

#include <gtest/gtest.h>

#include "FakeStreamingServer.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeServiceAccess.h"
#include "platform/qt/QtWebSocket.h"
#include "streaming/DeepgramLiveStreamer.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using Mode = FakeStreamingServer::Mode;

class StreamingLoopbackTest : public ::testing::Test
{
protected:
    std::shared_ptr<DeepgramLiveStreamer> startAgainst(FakeStreamingServer& server)
    {
        endpoints.stream = server.url();
        auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints}, timing);
        streamer->start();
        return streamer;
    }

    // One second of audio from a capture thread, in 10 ms blocks, loud enough
    // to be speech (silence is never sent).
    void speakOneSecond()
    {
        std::thread([this] {
            for (int block = 0; block < 100; ++block) {
                capture.deliver(std::vector<std::int16_t>(160, static_cast<std::int16_t>(1000 + block)));
            }
        }).join();
    }

    std::optional<std::string> finishWhileServing(DeepgramLiveStreamer& streamer)
    {
        const auto started = std::chrono::steady_clock::now();
        auto result = std::async(std::launch::async, [&] { return streamer.finish(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.wait_for(0ms) == std::future_status::ready; }, 10000));
        finishTook = std::chrono::steady_clock::now() - started;
        return result.get();
    }

    DeepgramLiveStreamer::Timing timing{5000ms, 2500ms, 1500ms};
    FakeAudioDevices devices;
    FakeAudioCapture capture{devices};
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    QtWebSocketConnector connector;
    std::chrono::steady_clock::duration finishTook{};
};

TEST_F(StreamingLoopbackTest, StreamsAudioAndReturnsTheFlushedTranscriptAtOnce)
{
    FakeStreamingServer server;
    server.onConnect = {FakeStreamingServer::result(false, "Hello"), FakeStreamingServer::result(true, "Hello there.")};
    server.onClose = {FakeStreamingServer::result(false, "How"), FakeStreamingServer::result(true, "How are you?")};
    auto streamer = startAgainst(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connected; }, 5000));
    QTest::qWait(100); // the ping's answer
    speakOneSecond();

    EXPECT_EQ(finishWhileServing(*streamer), "Hello there. How are you?");
    EXPECT_LT(finishTook, 500ms);
    EXPECT_EQ(server.requestQuery.toStdString(),
              "model=nova-3&encoding=linear16&sample_rate=16000&channels=1"
              "&language=en&punctuate=true&smart_format=true&interim_results=true");
    EXPECT_EQ(server.authorization.toStdString(), "Token dg-test-deepgram");
    EXPECT_EQ(server.audioBytes, 32000); // one second of 16 kHz mono 16-bit
    EXPECT_EQ(server.audioMessages, 12); // 11 whole 85 ms messages and the tail
    EXPECT_EQ(server.texts, std::vector<std::string>{R"({"type":"CloseStream"})"});
}

TEST_F(StreamingLoopbackTest, WithoutMetadataTheWaitEndsAndTheTextSoFarIsKept)
{
    FakeStreamingServer server(Mode::noMetadata);
    server.onClose = {FakeStreamingServer::result(true, "Almost done.")};
    auto streamer = startAgainst(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connected; }, 5000));
    QTest::qWait(100);
    speakOneSecond();

    EXPECT_EQ(finishWhileServing(*streamer), "Almost done.");
    EXPECT_GE(finishTook, 1500ms);
    EXPECT_LT(finishTook, 2500ms);
}

TEST_F(StreamingLoopbackTest, AConnectionDroppedOrFloodedMidStreamYieldsNothing)
{
    struct Case
    {
        const char* name;
        Mode mode;
        std::string transcript;
    };
    // Nothing near a megabyte is a transcript; the client closes rather than buffer it.
    const std::vector<Case> cases = {
        {"dropped", Mode::dropOnAudio, "Lost."},
        {"a message over a megabyte", Mode::normal, std::string(WebSocket::kMaxMessageBytes + 1, 'a')},
    };
    for (const auto& c : cases) {
        FakeStreamingServer server(c.mode);
        server.onConnect = {FakeStreamingServer::result(true, "Lost."),
                            FakeStreamingServer::result(true, c.transcript)};
        auto streamer = startAgainst(server);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.connected; }, 5000)) << "case " << c.name;
        QTest::qWait(100);
        speakOneSecond();
        QTest::qWait(200); // the drop reaches the client

        EXPECT_EQ(finishWhileServing(*streamer), std::nullopt) << "case " << c.name;
        EXPECT_TRUE(server.texts.empty()) << "case " << c.name << ": known dead, so no close request";
    }
}

TEST_F(StreamingLoopbackTest, AServerThatNeverAnswersThePingIsGivenUpAfterTheDeadline)
{
    FakeStreamingServer server(Mode::stallHandshake);
    auto streamer = startAgainst(server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connected; }, 5000));
    QTest::qWait(static_cast<int>(timing.pingDeadline.count()) + 200);

    EXPECT_EQ(finishWhileServing(*streamer), std::nullopt);
    EXPECT_LT(finishTook, 200ms); // dead already: no flush wait
}

TEST_F(StreamingLoopbackTest, NoServerListeningYieldsNothingQuickly)
{
    std::string url;
    {
        FakeStreamingServer closed;
        url = closed.url();
    }
    endpoints.stream = url;
    auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints}, timing);
    streamer->start();
    QTest::qWait(300);
    EXPECT_EQ(finishWhileServing(*streamer), std::nullopt);
    EXPECT_LT(finishTook, 200ms);
}

} // namespace
} // namespace quillo::test
