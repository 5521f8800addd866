#include "ui/shell/SingleInstance.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <QDeadlineTimer>
#include <QThread>
#include <sys/socket.h>
#include <sys/un.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillo {

namespace {
const QByteArray kReopen = QByteArrayLiteral("reopen\n");
const QByteArray kCommand = QByteArrayLiteral("command ");
const char* const kBufferProperty = "quilloRequest";
// A request is a short line; anything longer is not from Quillo.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;

bool someoneListens(const QString& socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    const bool connected = socket.waitForConnected(500);
    socket.abort();
    return connected;
}
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close(); // removes the socket file
    }
    // Last: the next instance may take over only once the socket is gone.
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

bool SingleInstance::acquire()
{
    if (m_lockFd >= 0) {
        return true;
    }
    const QByteArray lockPath = QFile::encodeName(m_socketPath + QStringLiteral(".lock"));
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qWarning("Quillo: cannot open the instance lock %s; not guarding against a second instance",
                 lockPath.constData());
        return true;
    }
    // flock, not fcntl locks: released by the kernel when the process dies, so
    // a crash never leaves Quillo locked out.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

QString SingleInstance::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return runtime + QStringLiteral("/quillo.socket");
    }
    return QDir::tempPath() + QStringLiteral("/quillo-") + QString::number(::getuid()) + QStringLiteral(".socket");
}

bool SingleInstance::notifyRunningInstance(int waitMs)
{
    QLocalSocket socket;
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(1000)) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        socket.abort();
        QThread::msleep(100);
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
        // Holding the lock, any socket there was left by a crashed instance.
        // Without it, only one that nobody answers on is known to be stale.
        if (m_lockFd < 0 && someoneListens(m_socketPath)) {
            m_server.reset();
            return false;
        }
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
