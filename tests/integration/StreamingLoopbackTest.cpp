// The streamer's failure paths over the real Qt WebSocket client against a
// loopback server that misbehaves. start() runs on this (GUI) thread like the
// controller's; finish() runs on a worker thread while this thread keeps the
// server's event loop turning.

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <QTcpServer>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include "fakes/FakeAudio.h"
#include "fakes/FakeServiceAccess.h"
#include "platform/qt/QtWebSocket.h"
#include "streaming/DeepgramLiveStreamer.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

enum class Fault
{
    noServer,       // nobody listens on the port
    stallHandshake, // takes the connection and never answers, so no pong ever comes
    hugeMessage,    // sends a result, then a message over the client's limit
};

QString result(const std::string& transcript)
{
    return QString::fromStdString(
        R"({"type":"Results","is_final":true,"speech_final":true,"channel":{"alternatives":[{"transcript":")" +
        transcript + R"(","confidence":0.98,"words":[]}]}})");
}

// The live speech-to-text endpoint on 127.0.0.1, misbehaving as told.
class FaultyStreamingServer
{
public:
    explicit FaultyStreamingServer(Fault fault)
    {
        if (fault != Fault::hugeMessage) {
            m_silent.listen(QHostAddress::LocalHost);
            m_port = m_silent.serverPort();
            QObject::connect(&m_silent, &QTcpServer::newConnection, [this] { connected = true; });
            if (fault == Fault::noServer) {
                m_silent.close();
            }
            return;
        }
        m_server.listen(QHostAddress::LocalHost);
        m_port = m_server.serverPort();
        QObject::connect(&m_server, &QWebSocketServer::newConnection, [this] {
            m_client.reset(m_server.nextPendingConnection());
            connected = true;
            // Only the close request is a text message from the client.
            QObject::connect(m_client.get(), &QWebSocket::textMessageReceived, [this] { closeRequested = true; });
            m_client->sendTextMessage(result("Lost."));
            m_client->sendTextMessage(result(std::string(WebSocket::kMaxMessageBytes, 'a')));
        });
    }
    ~FaultyStreamingServer()
    {
        if (m_client) {
            m_client->abort();
        }
    }

    std::string url() const { return "ws://127.0.0.1:" + std::to_string(m_port) + "/v1/listen"; }

    bool connected = false;
    bool closeRequested = false;

private:
    quint16 m_port = 0;
    QWebSocketServer m_server{QStringLiteral("faulty-stream"), QWebSocketServer::NonSecureMode};
    QTcpServer m_silent;
    std::unique_ptr<QWebSocket> m_client;
};

// Known dead before the end: finish() yields nothing at once, with no close
// request. A connection dropped after it opened takes the path of the message
// over the limit, which Qt answers by closing.
TEST(StreamingLoopbackTest, EachFailureEndsAtOnceWithNothing)
{
    const DeepgramLiveStreamer::Timing timing{5000ms, 2500ms, 1500ms};
    const std::pair<const char*, Fault> cases[] = {
        {"a message over a megabyte", Fault::hugeMessage},
        {"ping never answered", Fault::stallHandshake},
        {"no server", Fault::noServer},
    };
    for (const auto& [name, fault] : cases) {
        FaultyStreamingServer server(fault);
        FakeAudioDevices devices;
        FakeAudioCapture capture{devices};
        FakeCredentials credentials;
        FakeEndpoints endpoints;
        endpoints.stream = server.url();
        QtWebSocketConnector connector;
        auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints}, timing);
        streamer->start();
        ASSERT_TRUE(fault == Fault::noServer || QTest::qWaitFor([&] { return server.connected; }, 5000))
            << "case " << name;
        QTest::qWait(100); // the ping's answer
        // One second of loud audio (silence is never sent) from a capture thread.
        std::thread([&] {
            for (int block = 0; block < 100; ++block) {
                capture.deliver(std::vector<std::int16_t>(160, static_cast<std::int16_t>(1000 + block)));
            }
        }).join();
        QTest::qWait(fault == Fault::stallHandshake ? static_cast<int>(timing.pingDeadline.count()) + 200 : 200);

        const auto started = std::chrono::steady_clock::now();
        auto finished = std::async(std::launch::async, [&] { return streamer->finish(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished.wait_for(0ms) == std::future_status::ready; }, 10000));
        EXPECT_EQ(finished.get(), std::nullopt) << "case " << name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 200ms) << "case " << name;
        EXPECT_FALSE(server.closeRequested) << "case " << name;
    }
}

} // namespace
} // namespace quillo::test
