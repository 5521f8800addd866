#include "platform/qt/QtWebSocket.h"

#include <cstdint>
#include <deque>
#include <map>

#include <QMetaObject>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace quillo {

namespace {

// One connection. Its state is touched only on the connector's thread: the
// public methods post their work there.
class QtWebSocket final : public WebSocket, public std::enable_shared_from_this<QtWebSocket>
{
public:
    explicit QtWebSocket(QObject* context) : m_context(context) {}

    ~QtWebSocket() override
    {
        // The socket belongs to the connector's thread, so it is deleted there.
        if (auto* socket = m_socket) {
            QMetaObject::invokeMethod(
                socket,
                [socket] {
                    socket->abort();
                    socket->deleteLater();
                },
                Qt::QueuedConnection);
        }
    }

    void open(const QUrl& url, const WebSocketConnector::Headers& headers, std::chrono::milliseconds timeout)
    {
        post([url, headers, timeout](QtWebSocket& self) { self.openHere(url, headers, timeout); });
    }

    void sendPing(Completion completion) override
    {
        post([completion = std::move(completion)](QtWebSocket& self) mutable {
            self.whenOpen([completion = std::move(completion)](QtWebSocket& here) mutable {
                if (!here.m_open) {
                    completion(false);
                    return;
                }
                const auto payload = QByteArray::number(static_cast<qulonglong>(++here.m_pingCount));
                here.m_pings.emplace(payload, std::move(completion));
                here.m_socket->ping(payload);
            });
        });
    }

    void sendBinary(std::string bytes, Completion completion) override
    {
        send(true, std::move(bytes), std::move(completion));
    }

    void sendText(std::string text, Completion completion) override
    {
        send(false, std::move(text), std::move(completion));
    }

    void receive(ReceiveHandler handler) override
    {
        post([handler = std::move(handler)](QtWebSocket& self) mutable {
            if (!self.m_inbox.empty()) {
                auto message = std::move(self.m_inbox.front());
                self.m_inbox.pop_front();
                self.m_inboxBytes -= message.data.size();
                handler(std::move(message));
            } else if (self.m_ended) {
                handler(std::nullopt);
            } else {
                self.m_receiver = std::move(handler);
            }
        });
    }

    void cancel(int closeCode) override
    {
        post([closeCode](QtWebSocket& self) {
            if (self.m_ended) {
                return;
            }
            if (self.m_socket) {
                if (self.m_open) {
                    self.m_socket->close(static_cast<QWebSocketProtocol::CloseCode>(closeCode));
                } else {
                    self.m_socket->abort();
                }
            }
            self.end();
        });
    }

private:
    using Work = std::function<void(QtWebSocket&)>;

    // Runs `work` on the connector's thread; a strong reference keeps the
    // connection alive until it has run.
    void post(Work work)
    {
        QMetaObject::invokeMethod(
            m_context,
            [self = shared_from_this(), work = std::move(work)]() mutable { work(*self); },
            Qt::QueuedConnection);
    }

    // Runs now if the handshake is over (successfully or not), else once it is.
    void whenOpen(Work work)
    {
        if (m_open || m_ended) {
            work(*this);
        } else {
            m_waiting.push_back(std::move(work));
        }
    }

    void send(bool binary, std::string data, Completion completion)
    {
        post([binary, data = std::move(data), completion = std::move(completion)](QtWebSocket& self) mutable {
            self.whenOpen([binary, data = std::move(data), completion = std::move(completion)](QtWebSocket& here) {
                if (!here.m_open) {
                    completion(false);
                    return;
                }
                const auto bytes = QByteArray::fromStdString(data);
                const qint64 sent = binary ? here.m_socket->sendBinaryMessage(bytes)
                                           : here.m_socket->sendTextMessage(QString::fromUtf8(bytes));
                completion(binary ? sent == bytes.size() : sent > 0 || bytes.isEmpty());
            });
        });
    }

    void openHere(const QUrl& url, const WebSocketConnector::Headers& headers, std::chrono::milliseconds timeout)
    {
        m_socket = new QWebSocket();
        // Qt closes the connection (code 1009) rather than buffer more.
        m_socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        std::weak_ptr<QtWebSocket> weak = weak_from_this();
        auto on = [weak](auto member) {
            return [weak, member](auto&&... args) {
                if (auto self = weak.lock()) {
                    ((*self).*member)(std::forward<decltype(args)>(args)...);
                }
            };
        };
        QObject::connect(m_socket, &QWebSocket::connected, m_socket, on(&QtWebSocket::onConnected));
        QObject::connect(m_socket, &QWebSocket::disconnected, m_socket, on(&QtWebSocket::end));
        // Qt 6.4 has no errorOccurred on QWebSocket.
        QObject::connect(m_socket,
                         QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error),
                         m_socket,
                         [weak](QAbstractSocket::SocketError) {
                             if (auto self = weak.lock()) {
                                 self->end();
                             }
                         });
        QObject::connect(m_socket, &QWebSocket::pong, m_socket, [weak](quint64, const QByteArray& payload) {
            if (auto self = weak.lock()) {
                if (auto ping = self->m_pings.find(payload); ping != self->m_pings.end()) {
                    auto completion = std::move(ping->second);
                    self->m_pings.erase(ping);
                    completion(true);
                }
            }
        });
        QObject::connect(m_socket, &QWebSocket::textMessageReceived, m_socket, [weak](const QString& text) {
            if (auto self = weak.lock()) {
                self->deliver(Message{false, text.toStdString()});
            }
        });
        QObject::connect(m_socket, &QWebSocket::binaryMessageReceived, m_socket, [weak](const QByteArray& data) {
            if (auto self = weak.lock()) {
                self->deliver(Message{true, data.toStdString()});
            }
        });

        QNetworkRequest request(url);
        for (const auto& [name, value] : headers) {
            request.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
        QTimer::singleShot(timeout, m_socket, [weak] {
            if (auto self = weak.lock(); self && !self->m_open && !self->m_ended) {
                self->m_socket->abort();
                self->end();
            }
        });
        m_socket->open(request);
    }

    void onConnected()
    {
        m_open = true;
        runWaiting();
    }

    void runWaiting()
    {
        auto waiting = std::exchange(m_waiting, {});
        for (auto& work : waiting) {
            work(*this);
        }
    }

    void deliver(Message message)
    {
        if (m_receiver) {
            auto receiver = std::exchange(m_receiver, nullptr);
            receiver(std::move(message));
            return;
        }
        m_inboxBytes += message.data.size();
        m_inbox.push_back(std::move(message));
        if (m_inboxBytes > kMaxInboxBytes) {
            // A peer that sends faster than anyone reads would fill memory.
            m_inbox.clear();
            m_inboxBytes = 0;
            m_socket->abort();
            end();
        }
    }

    // The connection failed, closed or was cancelled: everything pending fails.
    void end()
    {
        if (m_ended) {
            return;
        }
        m_ended = true;
        m_open = false;
        runWaiting();
        auto pings = std::exchange(m_pings, {});
        for (auto& [payload, completion] : pings) {
            completion(false);
        }
        if (m_receiver && m_inbox.empty()) {
            std::exchange(m_receiver, nullptr)(std::nullopt);
        }
    }

    QObject* m_context;
    QWebSocket* m_socket = nullptr;
    bool m_open = false;
    bool m_ended = false;
    std::uint64_t m_pingCount = 0;
    std::deque<Work> m_waiting;
    std::map<QByteArray, Completion> m_pings;
    std::deque<Message> m_inbox;
    std::size_t m_inboxBytes = 0;
    ReceiveHandler m_receiver;
};

} // namespace

QtWebSocketConnector::QtWebSocketConnector() : m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("quillo-websocket"));
    m_context = new QObject();
    m_context->moveToThread(m_thread.get());
    m_thread->start();
}

QtWebSocketConnector::~QtWebSocketConnector()
{
    m_thread->quit();
    m_thread->wait();
    delete m_context; // its thread has stopped, so no call runs on it any more
}

std::shared_ptr<WebSocket> QtWebSocketConnector::connect(const std::string& url,
                                                         const WebSocketConnector::Headers& headers,
                                                         std::chrono::milliseconds timeout)
{
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    const auto scheme = parsed.scheme();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QStringLiteral("ws") && scheme != QStringLiteral("wss"))) {
        return nullptr;
    }
    auto socket = std::make_shared<QtWebSocket>(m_context);
    socket->open(parsed, headers, timeout);
    return socket;
}

} // namespace quillo
