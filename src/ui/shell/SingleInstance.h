#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace quillo {

// One Quillo per user session. The first instance takes an exclusive lock on
// a file next to the socket and then listens on a private local socket; a
// later one finds the lock taken, tells the first to come forward and leaves.
// The lock, not the socket, decides: a socket can only be reached once its
// owner has finished starting, which may take seconds.
// The command line also asks the running instance to do work through the
// socket: one line "command <request>\n" in, one line of answer back, then the
// socket closes.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock for this session, held until destruction. False when
    // another live instance holds it. When the lock file cannot be opened at
    // all the answer is true: Quillo runs rather than not at all.
    bool acquire();

    // True when another instance answered and was asked to show itself.
    // Tries again for up to `waitMs` while nobody answers (an instance that
    // holds the lock may not be listening yet).
    bool notifyRunningInstance(int waitMs = 0);

    // Gets a command's request and answers it, then or later, through the
    // callback (main thread). The answer must not contain a line break.
    using CommandHandler =
        std::function<void(const QByteArray& request, std::function<void(const QByteArray&)> answer)>;

    // Starts listening; `onReopen` runs on the main thread whenever a later
    // instance starts, `onCommand` for each command. False when the socket
    // cannot be created (Quillo then runs anyway, without the guard).
    bool listen(std::function<void()> onReopen, CommandHandler onCommand = {});

    // The command line's side: sends `request` as a command to the instance
    // listening on `socketPath` and waits, without a time limit, for its
    // answer. Nothing when no instance listens. Needs no QCoreApplication.
    static std::optional<std::string> ask(const QString& socketPath, const std::string& request);

    // $XDG_RUNTIME_DIR/quillo.socket, else a per-user name in the temp dir.
    static QString defaultSocketPath();

private:
    QString m_socketPath;
    int m_lockFd = -1; // held while this instance runs
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_onReopen;
    CommandHandler m_onCommand;
};

} // namespace quillo
