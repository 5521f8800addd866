#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillo {

class Log;

// Global keys on Wayland through the desktop's GlobalShortcuts portal
// (org.freedesktop.portal.GlobalShortcuts): a session is created, the
// shortcuts are bound to it (the desktop may ask the user to confirm or to
// choose the keys), and each press and release of a bound key arrives as
// Activated and Deactivated.
//
// Main thread; needs a QCoreApplication. Every portal call is asynchronous.
class QtPortalGlobalShortcuts final
{
public:
    struct Shortcut
    {
        std::string id;
        std::string description;
        std::string preferredTrigger; // in the XDG shortcuts format ("CTRL+ALT+d", "F5"); empty: none
    };
    // `pressed` is true for a press (Activated), false for the release.
    using Handler = std::function<void(const std::string& id, bool pressed)>;

    explicit QtPortalGlobalShortcuts(Log& log);
    ~QtPortalGlobalShortcuts();

    QtPortalGlobalShortcuts(const QtPortalGlobalShortcuts&) = delete;
    QtPortalGlobalShortcuts& operator=(const QtPortalGlobalShortcuts&) = delete;

    // Whether the desktop offers the portal (asks it, blocking briefly).
    bool isAvailable();
    // False when the desktop offers no such portal; otherwise the binding goes
    // on in the background, and its outcome is logged.
    bool start(std::vector<Shortcut> shortcuts, Handler handler);

private:
    class Session;
    std::unique_ptr<Session> m_session;
    Log& m_log;
};

} // namespace quillo
