#pragma once

#include <memory>

#include "platform/KeySynthesizer.h"

namespace quillo {

class Log;
class Preferences;

// Key presses on Wayland through the desktop's RemoteDesktop portal
// (org.freedesktop.portal.RemoteDesktop, on GNOME and KDE): a session with the
// keyboard is asked for at start, and once the desktop grants it every key is
// a keysym sent through the compositor's own keymap, so shortcuts such as
// Ctrl+V arrive like typed ones. The desktop asks the user the first time; the
// restore token it returns is kept in the preferences, so later launches are
// granted without asking.
//
// Until the session is granted, and when it is refused, presses go to
// `fallback` (the virtual keyboard), and the reach is the fallback's.
//
// Main thread; needs a QCoreApplication.
class QtPortalRemoteDesktopKeys final : public KeySynthesizer
{
public:
    static constexpr const char* kRestoreTokenKey = "quillo.remoteDesktopRestoreToken";

    QtPortalRemoteDesktopKeys(Log& log, Preferences& preferences, KeySynthesizer& fallback);
    ~QtPortalRemoteDesktopKeys() override;

    QtPortalRemoteDesktopKeys(const QtPortalRemoteDesktopKeys&) = delete;
    QtPortalRemoteDesktopKeys& operator=(const QtPortalRemoteDesktopKeys&) = delete;

    // Asks the desktop for the session, in the background. False when it has
    // no such portal.
    bool start();

    Reach reach() override;
    void pressPaste(PasteKeys keys) override;
    void typeText(const std::string& text) override;
    void pressReturn() override;
    bool modifiersHeld() override;

private:
    class Session;
    std::unique_ptr<Session> m_session;
    Log& m_log;
    Preferences& m_preferences;
    KeySynthesizer& m_fallback;
};

} // namespace quillo
