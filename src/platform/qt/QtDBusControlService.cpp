#include "platform/qt/QtDBusControlService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace quillo {

class QtDBusControlService::Adaptor : public QObject, protected QDBusContext
{
    Q_OBJECT
    // Spelled out: moc needs the literal. Must equal kInterface.
    Q_CLASSINFO("D-Bus Interface", "org.quillo.Quillo.Dictation")
    Q_PROPERTY(QString State READ state)

public:
    explicit Adaptor(Actions actions) : m_actions(std::move(actions)) {}

    QString state() const { return m_state; }

    void setState(const QString& state)
    {
        if (state == m_state) {
            return;
        }
        m_state = state;
        if (!m_published) {
            return;
        }
        QDBusMessage changed = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << QString::fromLatin1(kInterface) << QVariantMap{{QStringLiteral("State"), m_state}} << QStringList();
        QDBusConnection::sessionBus().send(changed);
    }

    bool m_published = false;

public Q_SLOTS:
    // The names are the interface's method names.
    void Start() { run(m_actions.start); }
    void Stop() { run(m_actions.stop); }
    void Toggle() { run(m_actions.toggle); }
    void Cancel() { run(m_actions.cancel); }
    void PasteLast() { run(m_actions.pasteLast); }

private:
    void run(const Action& action)
    {
        const auto refusal = action ? action() : std::optional<std::string>("Not available.");
        if (refusal) {
            sendErrorReply(QString::fromLatin1(kRefusedError), QString::fromStdString(*refusal));
        }
    }

    Actions m_actions;
    QString m_state = QStringLiteral("idle");
};

QtDBusControlService::QtDBusControlService(Actions actions) : m_adaptor(std::make_unique<Adaptor>(std::move(actions)))
{}

QtDBusControlService::~QtDBusControlService()
{
    if (m_adaptor->m_published) {
        auto bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(QString::fromLatin1(kBusName));
    }
}

std::optional<std::string> QtDBusControlService::publish()
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return "no session bus";
    }
    if (!bus.registerObject(QString::fromLatin1(kObjectPath),
                            m_adaptor.get(),
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
        return "the object path is taken";
    }
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return std::string("the name ") + kBusName + " is taken by another program on the session bus";
    }
    m_adaptor->m_published = true;
    return std::nullopt;
}

void QtDBusControlService::setState(const std::string& state)
{
    m_adaptor->setState(QString::fromStdString(state));
}

} // namespace quillo

#include "QtDBusControlService.moc"
