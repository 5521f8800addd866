#include "platform/qt/QtDesktopProbe.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/WaylandSession.h"
#include "platform/linux/X11ErrorTrap.h"

namespace quillo {

namespace {

// A desktop service that does not answer within this is as good as absent.
constexpr int kBusTimeoutMs = 3000;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The reply's arguments, or nothing when the call failed (no bus, no such
// service, an error reply or a timeout).
std::optional<QList<QVariant>> call(const QString& service,
                                    const QString& path,
                                    const QString& interface,
                                    const QString& method,
                                    const QList<QVariant>& arguments = {})
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return std::nullopt;
    }
    return reply.arguments();
}

std::optional<QVariant>
property(const QString& service, const QString& path, const QString& interface, const QString& name)
{
    const auto reply = call(service,
                            path,
                            QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("Get"),
                            {interface, name});
    if (!reply || reply->isEmpty()) {
        return std::nullopt;
    }
    return reply->first().value<QDBusVariant>().variant();
}

} // namespace

QtDesktopProbe::QtDesktopProbe(PulseAudioDevices& audio) : m_audio(audio) {}

DesktopProbe::Session QtDesktopProbe::session()
{
    Session session;
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string x11 = environment("DISPLAY");
    if (isWaylandSession()) {
        session.kind = Session::Kind::wayland;
        session.display = wayland;
        for (const auto& tool : kWaylandTools) {
            if (!findProgram(tool.program)) {
                session.missingTools.emplace_back(tool.program);
            }
        }
        for (const char* portal : {"GlobalShortcuts", "RemoteDesktop"}) {
            if (property(QStringLiteral("org.freedesktop.portal.Desktop"),
                         QStringLiteral("/org/freedesktop/portal/desktop"),
                         QStringLiteral("org.freedesktop.portal.") + QString::fromLatin1(portal),
                         QStringLiteral("version"))) {
                session.portals.emplace_back(portal);
            }
        }
        return session;
    }
    if (x11.empty()) {
        return session;
    }
    session.kind = Session::Kind::x11;
    session.display = x11;
    Display* display = XOpenDisplay(x11.c_str());
    if (!display) {
        return session;
    }
    session.reachable = true;
    {
        const X11ErrorTrap trap(display, nullptr);
        int opcode = 0;
        int event = 0;
        int error = 0;
        // The server answers with the highest version both sides know, so
        // asking for 2.2 tells whether it has at least that.
        int major = 2;
        int minor = 2;
        if (XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
            XIQueryVersion(display, &major, &minor) == Success) {
            session.xinputMajor = major;
            session.xinputMinor = minor;
        }
        session.xtest = XTestQueryExtension(display, &event, &error, &major, &minor);
    }
    XCloseDisplay(display);
    return session;
}

std::optional<std::string> QtDesktopProbe::audioServer()
{
    return m_audio.serverName();
}

std::optional<std::string> QtDesktopProbe::trayHost()
{
    // What Qt's tray icon uses, in its order: a StatusNotifierItem host on the
    // session bus, else an XEmbed tray on the X display.
    const auto registered = property(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                     QStringLiteral("/StatusNotifierWatcher"),
                                     QStringLiteral("org.kde.StatusNotifierWatcher"),
                                     QStringLiteral("IsStatusNotifierHostRegistered"));
    if (registered && registered->toBool()) {
        return "StatusNotifierItem host";
    }
    const std::string x11 = environment("DISPLAY");
    if (x11.empty()) {
        return std::nullopt;
    }
    Display* display = XOpenDisplay(x11.c_str());
    if (!display) {
        return std::nullopt;
    }
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const bool owned = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
    XCloseDisplay(display);
    return owned ? std::optional<std::string>("XEmbed tray") : std::nullopt;
}

std::optional<std::string> QtDesktopProbe::notificationServer()
{
    const auto reply = call(QStringLiteral("org.freedesktop.Notifications"),
                            QStringLiteral("/org/freedesktop/Notifications"),
                            QStringLiteral("org.freedesktop.Notifications"),
                            QStringLiteral("GetServerInformation"));
    if (!reply || reply->size() < 3) {
        return std::nullopt;
    }
    return (reply->at(0).toString() + QLatin1Char(' ') + reply->at(2).toString()).trimmed().toStdString();
}

bool QtDesktopProbe::accessibilityBus()
{
    const auto reply = call(QStringLiteral("org.a11y.Bus"),
                            QStringLiteral("/org/a11y/bus"),
                            QStringLiteral("org.a11y.Bus"),
                            QStringLiteral("GetAddress"));
    return reply && !reply->isEmpty() && !reply->first().toString().isEmpty();
}

DesktopProbe::Folder QtDesktopProbe::folder(const std::string& path)
{
    Folder folder;
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0) {
        // Missing: it can be created when its nearest existing ancestor is writable.
        std::string parent = path;
        while (parent.size() > 1) {
            const auto slash = parent.find_last_of('/');
            parent = slash == 0 || slash == std::string::npos ? "/" : parent.substr(0, slash);
            if (::access(parent.c_str(), F_OK) == 0) {
                folder.writable = ::access(parent.c_str(), W_OK | X_OK) == 0;
                break;
            }
        }
        return folder;
    }
    folder.exists = true;
    folder.isDirectory = S_ISDIR(status.st_mode);
    folder.ownedByUser = status.st_uid == ::geteuid();
    folder.writable = ::access(path.c_str(), W_OK | X_OK) == 0;
    folder.mode = status.st_mode & 07777;
    return folder;
}

} // namespace quillo
