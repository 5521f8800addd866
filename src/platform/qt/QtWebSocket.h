#pragma once

#include <memory>

#include "platform/WebSocket.h"

class QObject;
class QThread;

namespace quillo {

// WebSocket connections on Qt WebSockets.
//
// Every QWebSocket lives on one thread owned by the connector, which runs its
// own event loop; calls from any thread are posted to it, and completions and
// handlers run on it. The connector must outlive its connections.
class QtWebSocketConnector final : public WebSocketConnector
{
public:
    QtWebSocketConnector();
    ~QtWebSocketConnector() override;
    QtWebSocketConnector(const QtWebSocketConnector&) = delete;
    QtWebSocketConnector& operator=(const QtWebSocketConnector&) = delete;

    std::shared_ptr<WebSocket>
    connect(const std::string& url, const Headers& headers, std::chrono::milliseconds timeout) override;

private:
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr; // lives on m_thread; the target of posted calls
};

} // namespace quillo
