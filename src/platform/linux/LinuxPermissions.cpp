#include "platform/linux/LinuxPermissions.h"

#include <utility>

#include "platform/linux/X11Accessibility.h"

namespace quillo {

bool LinuxPermissions::isAccessibilityTrusted()
{
    return isX11AccessibilityTrusted();
}

std::string LinuxPermissions::accessibilityAdvice()
{
    return x11AccessibilityAdvice();
}

void LinuxPermissions::requestMicrophoneAccess(std::function<void(bool)> completion)
{
    m_microphone.requestAccess(std::move(completion));
}

} // namespace quillo
