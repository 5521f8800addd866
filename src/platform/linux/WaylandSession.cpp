#include "platform/linux/WaylandSession.h"

#include <unistd.h>

#include "platform/linux/Environment.h"

namespace quillo {

bool isWaylandSession()
{
    return processEnvironment("WAYLAND_DISPLAY").has_value() || processEnvironment("XDG_SESSION_TYPE") == "wayland";
}

std::optional<std::string> findProgram(const std::string& name)
{
    const std::string path = processEnvironment("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find(':', start);
        const std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string waylandAdvice(bool toolsFound, bool shortcutsPortal)
{
    std::string advice =
        shortcutsPortal
            ? "This is a Wayland session: Quillo's hotkeys are the desktop's global shortcuts, which the desktop may "
              "ask you to confirm or change in its own settings."
            : "This is a Wayland session without global shortcuts for applications: Quillo's own hotkeys work here "
              "only while an X11 application has the focus. Bind \"quillo toggle\" (or \"quillo start\" on press "
              "and \"quillo stop\" on release) to a shortcut in your desktop's keyboard settings; the README shows "
              "how.";
    if (toolsFound) {
        return advice + " Dictations are typed into the application in front through the virtual keyboard (wtype).";
    }
    return advice + " To put dictations at the cursor Quillo needs wl-clipboard and wtype: sudo apt install "
                    "wl-clipboard wtype. Until then each dictation is left on the clipboard.";
}

} // namespace quillo
