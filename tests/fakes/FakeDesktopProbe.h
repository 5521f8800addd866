#pragma once

#include <map>
#include <string>

#include "platform/DesktopProbe.h"

namespace quillo::test {

// A healthy X11 desktop unless the test changes the session or a folder. Folders not listed
// read as private folders of the user's own.
class FakeDesktopProbe final : public DesktopProbe
{
public:
    Session session() override { return sessionInfo; }
    std::optional<std::string> audioServer() override { return "PulseAudio 16.1"; }
    std::optional<std::string> trayHost() override { return "XEmbed tray"; }
    std::optional<std::string> notificationServer() override { return "dunst 1.9.0"; }
    bool accessibilityBus() override { return true; }
    Folder folder(const std::string& path) override
    {
        const auto found = folders.find(path);
        return found != folders.end() ? found->second : Folder{true, true, true, true, 0700};
    }

    Session sessionInfo{Session::Kind::x11, ":0", true, 2, 2, true, {}, {}};
    std::map<std::string, Folder> folders;
};

} // namespace quillo::test
