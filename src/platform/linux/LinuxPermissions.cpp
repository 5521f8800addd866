#include "platform/linux/LinuxPermissions.h"

#include <utility>

#include "platform/linux/WaylandSession.h"
#include "platform/linux/X11Accessibility.h"

namespace quillo {

namespace {

bool waylandToolsFound()
{
    for (const auto& tool : kWaylandTools) {
        if (!findProgram(tool.program)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool LinuxPermissions::isAccessibilityTrusted()
{
    // On Wayland the commands stand in for the keys; what must be there is the
    // means to paste.
    return isWaylandSession() ? waylandToolsFound() : isX11AccessibilityTrusted();
}

std::string LinuxPermissions::accessibilityAdvice()
{
    return isWaylandSession() ? waylandAdvice(waylandToolsFound(), m_shortcutsPortal) : x11AccessibilityAdvice();
}

void LinuxPermissions::requestMicrophoneAccess(std::function<void(bool)> completion)
{
    m_microphone.requestAccess(std::move(completion));
}

} // namespace quillo
