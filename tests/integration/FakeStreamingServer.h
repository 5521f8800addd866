#pragma once

// A loopback stand-in for the live speech-to-text endpoint. It answers the
// way the service documents: "Results" messages while audio arrives, and on
// the close request the last results, "Metadata" and a normal close. It can
// also misbehave: never finish the handshake (so no ping is answered), drop
// the connection once audio flows, or never send "Metadata".

#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

namespace quillo::test {

class FakeStreamingServer
{
public:
    enum class Mode
    {
        normal,
        stallHandshake,
        dropOnAudio,
        noMetadata,
    };

    explicit FakeStreamingServer(Mode mode = Mode::normal);
    ~FakeStreamingServer();

    std::string url() const; // ws://127.0.0.1:PORT/v1/listen

    // Sent as soon as the client connects, and in answer to the close request.
    std::vector<std::string> onConnect;
    std::vector<std::string> onClose;

    static std::string result(bool isFinal, const std::string& transcript);

    // What the client did.
    bool connected = false;
    QByteArray requestQuery;
    QByteArray authorization;
    qint64 audioBytes = 0;
    int audioMessages = 0;
    std::vector<std::string> texts;
    qint64 firstAudioMs = -1;
    qint64 lastAudioMs = -1;

private:
    void accept();

    Mode m_mode;
    QWebSocketServer m_server{QStringLiteral("fake-stream"), QWebSocketServer::NonSecureMode};
    QTcpServer m_silent;
    std::vector<QTcpSocket*> m_silentClients;
    QWebSocket* m_client = nullptr;
    QElapsedTimer m_clock;
};

} // namespace quillo::test
