#include "platform/qt/QtDBusNotifier.h"

#include <map>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "base/AppId.h"

namespace quillo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kActionKey = QStringLiteral("quillo-action");
// A server that does not answer within this is taken to show no buttons.
constexpr int kCapabilitiesTimeoutMs = 500;

// Bodies are markup to most notification servers, and many texts shown here
// were not written by Quillo (a service's error page, a file name): escape
// them, and cut long ones rather than let the server fill the screen.
QString bodyMarkup(const std::string& body)
{
    QString text = QString::fromStdString(body);
    if (text.size() > QtDBusNotifier::kMaxBodyLength) {
        qsizetype cut = QtDBusNotifier::kMaxBodyLength - 1;
        if (text.at(cut - 1).isHighSurrogate()) {
            --cut; // never half a character
        }
        text = text.left(cut) + QChar(0x2026);
    }
    return text.toHtmlEscaped();
}

QDBusMessage notifyCall(const std::string& title, const std::string& body, const QStringList& actions)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Quillo")                                                    // app_name
         << 0u                                                                          // replaces_id: always a new one
         << QString::fromLatin1(kAppId)                                                 // app_icon
         << QString::fromStdString(title)                                               // summary
         << bodyMarkup(body)                                                            // body
         << actions                                                                     // actions
         << QVariantMap{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)}} // hints
         << -1; // expire_timeout: the server's default
    return call;
}

} // namespace

// Remembers which notification carries which button until it is pressed or
// the notification closes.
class QtDBusNotifier::Listener : public QObject
{
    Q_OBJECT

public:
    Listener()
    {
        auto bus = QDBusConnection::sessionBus();
        bus.connect(kService,
                    kPath,
                    kInterface,
                    QStringLiteral("ActionInvoked"),
                    this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(kService,
                    kPath,
                    kInterface,
                    QStringLiteral("NotificationClosed"),
                    this,
                    SLOT(onClosed(uint, uint)));
    }

    void await(QDBusPendingCall pending, std::function<void()> onAction)
    {
        auto* watcher = new QDBusPendingCallWatcher(pending, this);
        connect(watcher,
                &QDBusPendingCallWatcher::finished,
                this,
                [this, onAction = std::move(onAction)](QDBusPendingCallWatcher* finished) {
                    const QDBusPendingReply<uint> reply = *finished;
                    if (!reply.isError()) {
                        m_actions[reply.value()] = onAction;
                    }
                    finished->deleteLater();
                });
    }

public Q_SLOTS:
    void onActionInvoked(uint id, const QString& key)
    {
        const auto found = m_actions.find(id);
        if (found != m_actions.end() && key == kActionKey) {
            auto action = std::move(found->second);
            m_actions.erase(found);
            action();
        }
    }
    void onClosed(uint id, uint /*reason*/) { m_actions.erase(id); }

private:
    std::map<uint, std::function<void()>> m_actions;
};

QtDBusNotifier::QtDBusNotifier() : m_listener(std::make_unique<Listener>()) {}

QtDBusNotifier::~QtDBusNotifier() = default;

void QtDBusNotifier::notify(const std::string& title, const std::string& body)
{
    QDBusConnection::sessionBus().asyncCall(notifyCall(title, body, {}));
}

bool QtDBusNotifier::supportsActions()
{
    if (!m_supportsActions) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities")),
            QDBus::Block,
            kCapabilitiesTimeoutMs);
        m_supportsActions = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                            reply.arguments().constFirst().toStringList().contains(QStringLiteral("actions"));
    }
    return *m_supportsActions;
}

void QtDBusNotifier::notify(const std::string& title,
                            const std::string& body,
                            const std::string& actionLabel,
                            std::function<void()> onAction)
{
    if (!supportsActions()) {
        notify(title, body);
        return;
    }
    const QStringList actions{kActionKey, QString::fromStdString(actionLabel)};
    m_listener->await(QDBusConnection::sessionBus().asyncCall(notifyCall(title, body, actions)), std::move(onAction));
}

} // namespace quillo

#include "QtDBusNotifier.moc"
