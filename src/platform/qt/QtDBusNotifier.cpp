#include "platform/qt/QtDBusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

#include "base/AppId.h"

namespace quillo {

void QtDBusNotifier::notify(const std::string& title, const std::string& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Quillo")                                                    // app_name
         << 0u                                                                          // replaces_id: always a new one
         << QString::fromLatin1(kAppId)                                                 // app_icon
         << QString::fromStdString(title)                                               // summary
         << QString::fromStdString(body)                                                // body
         << QStringList()                                                               // actions
         << QVariantMap{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)}} // hints
         << -1; // expire_timeout: the server's default
    QDBusConnection::sessionBus().asyncCall(call);
}

} // namespace quillo
