#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/WebSocket.h"

namespace quillo::test {

// A connection driven by the test: pings wait for answerPing(), sends
// complete at once with `failSends`, and the test hands over each incoming
// message or the connection's end.
class FakeWebSocket final : public WebSocket
{
public:
    struct Sent
    {
        bool binary;
        std::string data;
    };

    void sendPing(Completion completion) override { m_pings.push_back(std::move(completion)); }
    void sendBinary(std::string bytes, Completion completion) override { send(true, std::move(bytes), completion); }
    void sendText(std::string text, Completion completion) override { send(false, std::move(text), completion); }
    void receive(ReceiveHandler handler) override { m_receiver = std::move(handler); }
    void cancel(int closeCode) override { closeCodes.push_back(closeCode); }

    void answerPing(bool ok)
    {
        for (auto& ping : std::exchange(m_pings, {})) {
            ping(ok);
        }
    }
    // Hands a text message (or, with nothing, the connection's end) to the
    // pending receive; false when none is pending.
    bool deliver(std::optional<Message> message)
    {
        ReceiveHandler receiver = std::exchange(m_receiver, nullptr);
        if (!receiver) {
            return false;
        }
        receiver(std::move(message));
        return true;
    }
    bool deliverText(const std::string& text) { return deliver(Message{false, text}); }

    std::vector<Sent> sent;

    bool failSends = false;
    // Runs on the sending thread after a text message is recorded, as a
    // server answering the close request would.
    std::function<void(FakeWebSocket&)> onText;
    std::vector<int> closeCodes;

private:
    void send(bool binary, std::string data, const Completion& completion)
    {
        sent.push_back({binary, std::move(data)});
        completion(!failSends);
        if (!binary && onText) {
            onText(*this);
        }
    }

    std::vector<Completion> m_pings;
    ReceiveHandler m_receiver;
};

class FakeWebSocketConnector final : public WebSocketConnector
{
public:
    std::shared_ptr<WebSocket> connect(const std::string& url, const Headers&, std::chrono::milliseconds) override
    {
        connects.push_back(url);
        return socket;
    }

    std::shared_ptr<FakeWebSocket> socket = std::make_shared<FakeWebSocket>();
    std::vector<std::string> connects;
};

} // namespace quillo::test
