#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillo {

// One client WebSocket connection.
//
// Threading: every method may be called from any thread and returns at once.
// Completions and receive handlers run later on the connection's own thread,
// never inside the call that registered them; they must return quickly and
// must not block on another call of the same connection.
//
// Operations issued while the opening handshake is still running wait for it;
// if the connection cannot be opened (refused, TLS or handshake failure, no
// answer within the connect timeout), each of them completes with failure.
class WebSocket
{
public:
    // true when the operation succeeded.
    using Completion = std::function<void(bool ok)>;

    struct Message
    {
        bool binary = false;
        std::string data; // UTF-8 text, or the raw bytes of a binary message
    };
    // The next message, or nothing when the connection failed or closed.
    using ReceiveHandler = std::function<void(std::optional<Message> message)>;

    virtual ~WebSocket() = default;

    // Completes with true when the peer's pong arrives, false when the
    // connection fails first. There is no deadline of its own.
    virtual void sendPing(Completion completion) = 0;
    // Complete once the message has been handed to the connection, false when
    // it is not (or no longer) open.
    virtual void sendBinary(std::string bytes, Completion completion) = 0;
    virtual void sendText(std::string text, Completion completion) = 0;
    // Hands over the next incoming message, once. Messages that arrive while
    // no receive is pending are kept in arrival order. Call again from the
    // handler to keep receiving.
    virtual void receive(ReceiveHandler handler) = 0;
    // Closes with the given close code and no reason; pending operations then
    // fail. A second call does nothing.
    virtual void cancel(int closeCode) = 0;

    static constexpr int kNormalClosure = 1000;
    // A larger incoming message ends the connection, as does a backlog of
    // kMaxInboxBytes that nobody has received.
    static constexpr std::size_t kMaxMessageBytes = 1u << 20;
    static constexpr std::size_t kMaxInboxBytes = 4u << 20;
};

class WebSocketConnector
{
public:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    virtual ~WebSocketConnector() = default;
    // Starts opening a connection to a ws:// or wss:// URL with these extra
    // request headers and returns at once. Nothing when the URL is unusable.
    virtual std::shared_ptr<WebSocket>
    connect(const std::string& url, const Headers& headers, std::chrono::milliseconds timeout) = 0;
};

} // namespace quillo
