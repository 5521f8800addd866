#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo {

// What the user's session offers Quillo, asked afresh on every call. It backs
// `quillo doctor`, which must work where the app itself cannot start (no
// display, no session bus), so nothing here needs a running GUI.
//
// Threading: one caller at a time. Each call may block for a short, bounded
// time (an X11, D-Bus or audio-server round trip).
// Failure: whatever cannot be asked reads as absent; no call throws.
class DesktopProbe
{
public:
    struct Session
    {
        enum class Kind
        {
            none, // neither an X11 nor a Wayland display in the environment
            x11,
            wayland
        };
        Kind kind = Kind::none;
        std::string display;    // the DISPLAY or WAYLAND_DISPLAY value
        bool reachable = false; // X11: the display accepted a connection
        int xinputMajor = 0;    // X11: the server's XInput version, 0.0 when absent
        int xinputMinor = 0;
        bool xtest = false;                    // X11: the XTest extension is present
        std::vector<std::string> portals;      // Wayland: desktop portals found ("GlobalShortcuts", ...)
        std::vector<std::string> missingTools; // Wayland: the programs that paste there and are not installed
    };

    struct Folder
    {
        bool exists = false;
        bool isDirectory = false;
        bool ownedByUser = false;
        bool writable = false; // by this user; for a missing folder, whether it can be created
        std::uint32_t mode = 0;
    };

    virtual ~DesktopProbe() = default;

    virtual Session session() = 0;
    // The audio server's name and version, such as "PulseAudio (on PipeWire
    // 0.3.65)"; nothing when no server answers.
    virtual std::optional<std::string> audioServer() = 0;
    // What hosts tray icons ("StatusNotifierItem host", "XEmbed tray"); nothing
    // when the desktop shows none.
    virtual std::optional<std::string> trayHost() = 0;
    // The notification service's name and version; nothing when none answers.
    virtual std::optional<std::string> notificationServer() = 0;
    // Whether the accessibility (AT-SPI) bus can be reached.
    virtual bool accessibilityBus() = 0;
    virtual Folder folder(const std::string& path) = 0;
};

} // namespace quillo
