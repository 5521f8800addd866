#include "ui/shell/SingleInstance.h"

#include <algorithm>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillo {

namespace {
const QByteArray kReopen = QByteArrayLiteral("reopen\n");
const QByteArray kCommand = QByteArrayLiteral("command ");
const char* const kBufferProperty = "quilloRequest";
// A request is a short line; anything longer is not from Quillo.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close(); // removes the socket file
    }
}

QString SingleInstance::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return runtime + QStringLiteral("/quillo.socket");
    }
    return QDir::tempPath() + QStringLiteral("/quillo-") + QString::number(::getuid()) + QStringLiteral(".socket");
}

bool SingleInstance::notifyRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000)) {
        return false;
    }
    socket.write(kReopen);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

std::optional<std::string> SingleInstance::ask(const QString& socketPath, const std::string& request)
{
    // Plain POSIX: the command line runs without a Qt event loop.
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::copy(path.begin(), path.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    const std::string line = kCommand.toStdString() + request + "\n";
    for (std::size_t written = 0; written < line.size();) {
        const auto n = ::write(fd, line.data() + written, line.size() - written);
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    while (!answer.empty() && answer.back() == '\n') {
        answer.pop_back();
    }
    return answer;
}

bool SingleInstance::listen(std::function<void()> onReopen, CommandHandler onCommand)
{
    m_onReopen = std::move(onReopen);
    m_onCommand = std::move(onCommand);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        // A socket left by a crashed instance: nobody answered on it, so it is stale.
        QLocalServer::removeServer(m_socketPath);
        if (!m_server->listen(m_socketPath)) {
            m_server.reset();
            return false;
        }
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                QByteArray buffer = client->property(kBufferProperty).toByteArray() + client->readAll();
                const auto newline = buffer.indexOf('\n');
                if (newline < 0) {
                    if (buffer.size() > kMaxRequestBytes) {
                        client->abort();
                    } else {
                        client->setProperty(kBufferProperty, buffer);
                    }
                    return;
                }
                const QByteArray line = buffer.left(newline);
                client->setProperty(kBufferProperty, QByteArray());
                if (line.startsWith(kCommand) && m_onCommand) {
                    QPointer<QLocalSocket> guarded(client);
                    m_onCommand(line.mid(kCommand.size()), [guarded](const QByteArray& answer) {
                        if (guarded) {
                            guarded->write(answer + '\n');
                            guarded->disconnectFromServer(); // after the answer is written
                        }
                    });
                } else if (line == kReopen.trimmed() && m_onReopen) {
                    m_onReopen();
                }
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace quillo
