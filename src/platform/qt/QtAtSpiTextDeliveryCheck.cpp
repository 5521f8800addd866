#include "platform/qt/QtAtSpiTextDeliveryCheck.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QVariant>

#include <unistd.h>

namespace quillo {

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kText = QStringLiteral("org.a11y.atspi.Text");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The search runs while the paste shortcut waits its 100 ms, and must end
// before it: the shortcut cannot be sent while this thread waits.
constexpr int kCallTimeoutMs = 40;
constexpr qint64 kSearchBudgetMs = 60;
constexpr int kSearchObjectLimit = 400;

// AT-SPI state bits and roles.
constexpr int kStateActive = 1;
constexpr int kStateFocused = 12;
constexpr int kStateShowing = 25;
constexpr int kStateManagesDescendants = 31;
constexpr quint32 kRolePasswordText = 40;
constexpr quint32 kRoleTerminal = 60;

struct ObjectRef
{
    QString service;
    QString path;
};

bool hasState(const QList<quint32>& states, int bit)
{
    const auto word = static_cast<qsizetype>(bit / 32);
    return word < states.size() && (states[word] & (1u << (bit % 32))) != 0;
}

} // namespace

struct QtAtSpiTextDeliveryCheck::Bus
{
    std::optional<QDBusConnection> connection;
    std::optional<ObjectRef> watched;
    bool watchedIsTerminal = false;

    ~Bus()
    {
        if (connection) {
            QDBusConnection::disconnectFromBus(connection->name());
        }
    }

    bool connect()
    {
        if (connection && connection->isConnected()) {
            return true;
        }
        QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
                                                          QStringLiteral("/org/a11y/bus"),
                                                          QStringLiteral("org.a11y.Bus"),
                                                          QStringLiteral("GetAddress"));
        // A desktop without the service stays without it: Quillo starts nothing.
        ask.setAutoStartService(false);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return false;
        }
        const QString address = reply.arguments().first().toString();
        if (address.isEmpty()) {
            return false;
        }
        if (connection) {
            QDBusConnection::disconnectFromBus(connection->name());
        }
        connection = QDBusConnection::connectToBus(address, QStringLiteral("quillo-accessibility"));
        return connection->isConnected();
    }

    std::optional<QList<QVariant>> call(const ObjectRef& object,
                                        const QString& interface,
                                        const QString& method,
                                        const QList<QVariant>& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = connection->call(message, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            return std::nullopt;
        }
        return reply.arguments();
    }

    std::optional<QVariant> property(const ObjectRef& object, const QString& interface, const QString& name)
    {
        const auto reply = call(object, kProperties, QStringLiteral("Get"), {interface, name});
        if (!reply || reply->isEmpty()) {
            return std::nullopt;
        }
        return reply->first().value<QDBusVariant>().variant();
    }

    QList<ObjectRef> children(const ObjectRef& object)
    {
        QList<ObjectRef> found;
        const auto reply = call(object, kAccessible, QStringLiteral("GetChildren"));
        if (!reply || reply->isEmpty()) {
            return found;
        }
        const QDBusArgument list = reply->first().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString service;
            QDBusObjectPath path;
            list.beginStructure();
            list >> service >> path;
            list.endStructure();
            found.push_back({service, path.path()});
        }
        list.endArray();
        return found;
    }

    QList<quint32> states(const ObjectRef& object)
    {
        const auto reply = call(object, kAccessible, QStringLiteral("GetState"));
        if (!reply || reply->isEmpty()) {
            return {};
        }
        return qdbus_cast<QList<quint32>>(reply->first());
    }

    std::optional<quint32> role(const ObjectRef& object)
    {
        const auto reply = call(object, kAccessible, QStringLiteral("GetRole"));
        if (!reply || reply->isEmpty()) {
            return std::nullopt;
        }
        return reply->first().toUInt();
    }

    bool isOwnProcess(const QString& service)
    {
        const QDBusMessage reply =
            connection->call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                            QStringLiteral("/org/freedesktop/DBus"),
                                                            QStringLiteral("org.freedesktop.DBus"),
                                                            QStringLiteral("GetConnectionUnixProcessID"))
                                 << service,
                             QDBus::Block,
                             kCallTimeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               reply.arguments().first().toUInt() == static_cast<quint32>(::getpid());
    }

    // The focused object inside the active window of any application.
    std::optional<ObjectRef> focusedObject()
    {
        QElapsedTimer clock;
        clock.start();
        const ObjectRef desktop{QStringLiteral("org.a11y.atspi.Registry"),
                                QStringLiteral("/org/a11y/atspi/accessible/root")};
        int visited = 0;
        for (const ObjectRef& application : children(desktop)) {
            for (const ObjectRef& window : children(application)) {
                if (clock.elapsed() > kSearchBudgetMs || !hasState(states(window), kStateActive)) {
                    continue;
                }
                if (isOwnProcess(window.service)) {
                    break;
                }
                // Depth first, only through what is on screen.
                QList<ObjectRef> pending{window};
                while (!pending.isEmpty() && visited < kSearchObjectLimit && clock.elapsed() <= kSearchBudgetMs) {
                    const ObjectRef object = pending.takeLast();
                    ++visited;
                    const QList<quint32> objectStates = states(object);
                    if (hasState(objectStates, kStateFocused)) {
                        return object;
                    }
                    if (object.path != window.path &&
                        (!hasState(objectStates, kStateShowing) || hasState(objectStates, kStateManagesDescendants))) {
                        continue;
                    }
                    const QList<ObjectRef> inner = children(object);
                    for (auto child = inner.rbegin(); child != inner.rend(); ++child) {
                        pending.push_back(*child);
                    }
                }
                return std::nullopt; // only one window is active
            }
        }
        return std::nullopt;
    }

    std::optional<AccessibleTextSnapshot> read(const ObjectRef& object)
    {
        const auto text = call(object, kText, QStringLiteral("GetText"), {0, -1});
        if (!text || text->isEmpty()) {
            return std::nullopt;
        }
        AccessibleTextSnapshot snapshot;
        snapshot.text = text->first().toString().toStdString();
        if (const auto caret = property(object, kText, QStringLiteral("CaretOffset"))) {
            snapshot.caret = caret->toInt();
        }
        snapshot.isTerminal = watchedIsTerminal;
        return snapshot;
    }
};

QtAtSpiTextDeliveryCheck::QtAtSpiTextDeliveryCheck() : m_bus(std::make_unique<Bus>()) {}

QtAtSpiTextDeliveryCheck::~QtAtSpiTextDeliveryCheck() = default;

std::optional<AccessibleTextSnapshot> QtAtSpiTextDeliveryCheck::readFocusedText()
{
    m_bus->watched.reset();
    if (!m_bus->connect()) {
        return std::nullopt;
    }
    const auto focused = m_bus->focusedObject();
    if (!focused) {
        return std::nullopt;
    }
    const auto role = m_bus->role(*focused);
    if (!role || *role == kRolePasswordText) {
        return std::nullopt; // never read what the user hides
    }
    m_bus->watched = focused;
    m_bus->watchedIsTerminal = *role == kRoleTerminal;
    auto snapshot = m_bus->read(*focused);
    if (!snapshot) {
        m_bus->watched.reset();
    }
    return snapshot;
}

std::optional<AccessibleTextSnapshot> QtAtSpiTextDeliveryCheck::readAgain()
{
    if (!m_bus->watched || !m_bus->connection) {
        return std::nullopt;
    }
    return m_bus->read(*m_bus->watched);
}

} // namespace quillo
