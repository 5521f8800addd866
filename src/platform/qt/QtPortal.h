#pragma once

#include <QDBusConnection>
#include <QString>

namespace quillo::portal {

// The desktop portal's object, as every portal interface is reached.
inline const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Where the portal answers a call made with the handle token `token`: the
// request object it names after our unique bus name and the token. Listen
// there before calling: the answer may come before the call returns.
inline QString requestPath(const QDBusConnection& bus, const QString& token)
{
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

} // namespace quillo::portal
