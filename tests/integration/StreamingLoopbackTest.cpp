// The streamer's failure paths over the real Qt WebSocket client against a
// loopback server that misbehaves. start() runs on this (GUI) thread like the
// controller's; finish() runs on a worker thread while this thread keeps the
// server's event loop turning.

#include <chrono>
#include <future>
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
    dropOnAudio,    // aborts the connection once audio arrives
    hugeMessage,    // sends a message over the client's limit
};

std::string result(const std::string& transcript)
{
    return R"({"type":"Results","is_final":true,"speech_final":true,"channel":{"alternatives":[{"transcript":")" +
           transcript + R"(","confidence":0.98,"words":[]}]}})";
}

// The live speech-to-text endpoint on 127.0.0.1, misbehaving as told.
class FaultyStreamingServer
{
public:
    explicit FaultyStreamingServer(Fault fault) : m_fault(fault)
    {
        if (fault == Fault::stallHandshake || fault == Fault::noServer) {
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
        QObject::connect(&m_server, &QWebSocketServer::newConnection, [this] { accept(); });
    }
    ~FaultyStreamingServer()
    {
        if (m_client) {
            m_client->abort();
            delete m_client;
        }
    }

    std::string url() const { return "ws://127.0.0.1:" + std::to_string(m_port) + "/v1/listen"; }

    bool connected = false;
    bool closeRequested = false; // the client sent a text message, which only the close request is

private:
    void accept()
    {
        m_client = m_server.nextPendingConnection();
        connected = true;
        QObject::connect(m_client, &QWebSocket::binaryMessageReceived, [this] {
            if (m_fault == Fault::dropOnAudio) {
                m_client->abort();
            }
        });
        QObject::connect(m_client, &QWebSocket::textMessageReceived, [this] { closeRequested = true; });
        m_client->sendTextMessage(QString::fromStdString(result("Lost.")));
        if (m_fault == Fault::hugeMessage) {
            m_client->sendTextMessage(QString::fromStdString(result(std::string(WebSocket::kMaxMessageBytes, 'a'))));
        }
    }

    Fault m_fault;
    quint16 m_port = 0;
    QWebSocketServer m_server{QStringLiteral("faulty-stream"), QWebSocketServer::NonSecureMode};
    QTcpServer m_silent;
    QWebSocket* m_client = nullptr;
};

// Known dead before the end: finish() yields nothing at once, with no close request.
TEST(StreamingLoopbackTest, EachFailureEndsAtOnceWithNothing)
{
    const DeepgramLiveStreamer::Timing timing{5000ms, 2500ms, 1500ms};
    const struct
    {
        const char* name;
        Fault fault;
    } cases[] = {
        {"dropped", Fault::dropOnAudio},
        {"a message over a megabyte", Fault::hugeMessage},
        {"ping never answered", Fault::stallHandshake},
        {"no server", Fault::noServer},
    };
    for (const auto& c : cases) {
        FaultyStreamingServer server(c.fault);
        FakeAudioDevices devices;
        FakeAudioCapture capture{devices};
        FakeCredentials credentials;
        FakeEndpoints endpoints;
        endpoints.stream = server.url();
        QtWebSocketConnector connector;
        auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints}, timing);
        streamer->start();
        ASSERT_TRUE(c.fault == Fault::noServer || QTest::qWaitFor([&] { return server.connected; }, 5000))
            << "case " << c.name;
        QTest::qWait(100); // the ping's answer
        // One second of loud audio (silence is never sent) from a capture thread.
        std::thread([&] {
            for (int block = 0; block < 100; ++block) {
                capture.deliver(std::vector<std::int16_t>(160, static_cast<std::int16_t>(1000 + block)));
            }
        }).join();
        QTest::qWait(c.fault == Fault::stallHandshake ? static_cast<int>(timing.pingDeadline.count()) + 200 : 200);

        const auto started = std::chrono::steady_clock::now();
        auto finished = std::async(std::launch::async, [&] { return streamer->finish(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished.wait_for(0ms) == std::future_status::ready; }, 10000));
        EXPECT_EQ(finished.get(), std::nullopt) << "case " << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 200ms) << "case " << c.name;
        EXPECT_FALSE(server.closeRequested) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo::test
