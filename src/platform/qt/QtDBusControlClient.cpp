#include "platform/qt/QtDBusControlClient.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "platform/qt/QtDBusControlService.h"

namespace quillo {

namespace {

ControlClient::Answer send(QDBusMessage message)
{
    using Status = ControlClient::Answer::Status;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return {Status::failed, "No D-Bus session bus: run this command inside your desktop session."};
    }
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, QtDBusControlClient::kTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        QVariant value = reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
        if (value.canConvert<QDBusVariant>()) {
            value = value.value<QDBusVariant>().variant();
        }
        return {Status::done, value.toString().toStdString()};
    }
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return {Status::notRunning, {}};
    }
    if (error == QLatin1String(QtDBusControlService::kRefusedError)) {
        return {Status::refused, reply.errorMessage().toStdString()};
    }
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        return {Status::failed, "Quillo did not answer in time."};
    }
    return {Status::failed, "Quillo could not be asked: " + reply.errorMessage().toStdString()};
}

} // namespace

ControlClient::Answer QtDBusControlClient::call(const std::string& method)
{
    return send(QDBusMessage::createMethodCall(QString::fromLatin1(QtDBusControlService::kBusName),
                                               QString::fromLatin1(QtDBusControlService::kObjectPath),
                                               QString::fromLatin1(QtDBusControlService::kInterface),
                                               QString::fromStdString(method)));
}

ControlClient::Answer QtDBusControlClient::state()
{
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(QtDBusControlService::kBusName),
                                                      QString::fromLatin1(QtDBusControlService::kObjectPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QString::fromLatin1(QtDBusControlService::kInterface) << QStringLiteral("State");
    return send(get);
}

} // namespace quillo
