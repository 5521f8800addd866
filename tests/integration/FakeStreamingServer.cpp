#include "FakeStreamingServer.h"

#include <QHostAddress>
#include <QUrl>

namespace quillo::test {

FakeStreamingServer::FakeStreamingServer(Mode mode) : m_mode(mode)
{
    m_clock.start();
    if (m_mode == Mode::stallHandshake) {
        // Takes the connection and never answers, so no pong ever comes.
        m_silent.listen(QHostAddress::LocalHost);
        QObject::connect(&m_silent, &QTcpServer::newConnection, [this] {
            while (auto* socket = m_silent.nextPendingConnection()) {
                connected = true;
                m_silentClients.push_back(socket);
            }
        });
        return;
    }
    m_server.listen(QHostAddress::LocalHost);
    QObject::connect(&m_server, &QWebSocketServer::newConnection, [this] { accept(); });
}

FakeStreamingServer::~FakeStreamingServer()
{
    if (m_client) {
        m_client->abort();
        delete m_client;
    }
}

std::string FakeStreamingServer::url() const
{
    const auto port = m_mode == Mode::stallHandshake ? m_silent.serverPort() : m_server.serverPort();
    return "ws://127.0.0.1:" + std::to_string(port) + "/v1/listen";
}

std::string FakeStreamingServer::result(bool isFinal, const std::string& transcript)
{
    return R"({"type":"Results","channel_index":[0,1],"duration":1.0,"start":0.0,"is_final":)" +
           std::string(isFinal ? "true" : "false") + R"(,"speech_final":)" + std::string(isFinal ? "true" : "false") +
           R"(,"channel":{"alternatives":[{"transcript":")" + transcript +
           R"(","confidence":0.98,"words":[]}]},"metadata":{"request_id":"fake"},"from_finalize":false})";
}

void FakeStreamingServer::accept()
{
    m_client = m_server.nextPendingConnection();
    connected = true;
    requestQuery = m_client->requestUrl().query(QUrl::FullyEncoded).toUtf8();
    authorization = m_client->request().rawHeader("Authorization");

    QObject::connect(m_client, &QWebSocket::binaryMessageReceived, [this](const QByteArray& data) {
        if (firstAudioMs < 0) {
            firstAudioMs = m_clock.elapsed();
        }
        lastAudioMs = m_clock.elapsed();
        audioBytes += data.size();
        ++audioMessages;
        if (m_mode == Mode::dropOnAudio) {
            m_client->abort();
        }
    });
    QObject::connect(m_client, &QWebSocket::textMessageReceived, [this](const QString& text) {
        texts.push_back(text.toStdString());
        if (text != QStringLiteral(R"({"type":"CloseStream"})")) {
            return;
        }
        for (const auto& message : onClose) {
            m_client->sendTextMessage(QString::fromStdString(message));
        }
        if (m_mode == Mode::normal) {
            m_client->sendTextMessage(QStringLiteral(
                R"({"type":"Metadata","transaction_key":"deprecated","request_id":"fake","duration":1.0,"channels":1})"));
            m_client->close(QWebSocketProtocol::CloseCodeNormal);
        }
    });
    for (const auto& message : onConnect) {
        m_client->sendTextMessage(QString::fromStdString(message));
    }
}

} // namespace quillo::test
