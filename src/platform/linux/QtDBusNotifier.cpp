#include "platform/linux/QtDBusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace quillo {

namespace {

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

} // namespace

void QtDBusNotifier::notify(const std::string& title, const std::string& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Quillo")                                                 // app_name
         << 0u                                                                       // replaces_id: always a new one
         << QStringLiteral("audio-input-microphone")                                 // app_icon
         << QString::fromStdString(title)                                            // summary
         << bodyMarkup(body)                                                         // body
         << QStringList()                                                            // actions
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("quillo")}} // hints
         << -1; // expire_timeout: the server's default
    QDBusConnection::sessionBus().asyncCall(call);
}

} // namespace quillo
