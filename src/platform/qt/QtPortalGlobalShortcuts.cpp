#include "platform/qt/QtPortalGlobalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QObject>
#include <QVariantMap>

#include "platform/Log.h"
#include "platform/qt/QtPortal.h"

namespace {

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace quillo {

namespace {

using portal::kPath;
using portal::kRequestInterface;
using portal::kService;
using portal::requestPath;
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
constexpr int kVersionTimeoutMs = 1000;

} // namespace

class QtPortalGlobalShortcuts::Session : public QObject
{
    Q_OBJECT

public:
    Session(Log& log, std::vector<Shortcut> shortcuts, Handler handler)
        : m_log(log), m_shortcuts(std::move(shortcuts)), m_handler(std::move(handler))
    {}

    void createSession()
    {
        auto bus = QDBusConnection::sessionBus();
        bus.connect(kService,
                    kPath,
                    kInterface,
                    QStringLiteral("Activated"),
                    this,
                    SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        bus.connect(kService,
                    kPath,
                    kInterface,
                    QStringLiteral("Deactivated"),
                    this,
                    SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        // Listen before asking: the answer may come before the call returns.
        const QString token = QStringLiteral("quillo_create");
        bus.connect(kService,
                    requestPath(bus, token),
                    kRequestInterface,
                    QStringLiteral("Response"),
                    this,
                    SLOT(onSessionCreated(uint, QVariantMap)));
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
        call << QVariantMap{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("session_handle_token"), QStringLiteral("quillo")}};
        bus.asyncCall(call);
    }

public Q_SLOTS:
    void onSessionCreated(uint response, const QVariantMap& results)
    {
        if (response != 0) {
            m_log.write("[Quillo] The desktop refused a global shortcuts session (" + std::to_string(response) + ")");
            return;
        }
        m_sessionHandle = results.value(QStringLiteral("session_handle")).toString();
        auto bus = QDBusConnection::sessionBus();
        const QString token = QStringLiteral("quillo_bind");
        bus.connect(kService,
                    requestPath(bus, token),
                    kRequestInterface,
                    QStringLiteral("Response"),
                    this,
                    SLOT(onBound(uint, QVariantMap)));
        QList<PortalShortcut> shortcuts;
        for (const auto& shortcut : m_shortcuts) {
            QVariantMap properties{{QStringLiteral("description"), QString::fromStdString(shortcut.description)}};
            if (!shortcut.preferredTrigger.empty()) {
                properties.insert(QStringLiteral("preferred_trigger"),
                                  QString::fromStdString(shortcut.preferredTrigger));
            }
            shortcuts.append({QString::fromStdString(shortcut.id), properties});
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
        call << QVariant::fromValue(QDBusObjectPath(m_sessionHandle)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{QStringLiteral("handle_token"), token}};
        bus.asyncCall(call);
    }

    void onBound(uint response, const QVariantMap& /*results*/)
    {
        m_log.write(response == 0
                        ? "[Quillo] Global shortcuts bound through the desktop portal"
                        : "[Quillo] The desktop did not bind the global shortcuts (" + std::to_string(response) + ")");
    }

    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong, const QVariantMap&)
    {
        if (session.path() == m_sessionHandle) {
            m_handler(id.toStdString(), true);
        }
    }

    void onDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong, const QVariantMap&)
    {
        if (session.path() == m_sessionHandle) {
            m_handler(id.toStdString(), false);
        }
    }

private:
    Log& m_log;
    std::vector<Shortcut> m_shortcuts;
    Handler m_handler;
    QString m_sessionHandle;
};

QtPortalGlobalShortcuts::QtPortalGlobalShortcuts(Log& log) : m_log(log) {}

QtPortalGlobalShortcuts::~QtPortalGlobalShortcuts() = default;

bool QtPortalGlobalShortcuts::isAvailable()
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage version = QDBusMessage::createMethodCall(kService,
                                                          kPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    version << kInterface << QStringLiteral("version");
    return bus.call(version, QDBus::Block, kVersionTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

bool QtPortalGlobalShortcuts::start(std::vector<Shortcut> shortcuts, Handler handler)
{
    if (!isAvailable()) {
        return false;
    }
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_session = std::make_unique<Session>(m_log, std::move(shortcuts), std::move(handler));
    m_session->createSession();
    return true;
}

} // namespace quillo

#include "QtPortalGlobalShortcuts.moc"
