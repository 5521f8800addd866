#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillo {

// One Quillo per user session. The first instance listens on a private local
// socket; a later one tells it to come forward and leaves.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance answered and was asked to show itself.
    bool notifyRunningInstance();

    // Starts listening; `onReopen` runs on the main thread whenever a later
    // instance starts. False when the socket cannot be created (Quillo then
    // runs anyway, without the guard).
    bool listen(std::function<void()> onReopen);

    // $XDG_RUNTIME_DIR/quillo.socket, else a per-user name in the temp dir.
    static QString defaultSocketPath();

private:
    QString m_socketPath;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_onReopen;
};

} // namespace quillo
