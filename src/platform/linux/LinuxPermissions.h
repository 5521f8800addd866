#pragma once

#include <string>

#include "platform/Permissions.h"
#include "platform/linux/PulseMicrophoneAccess.h"

namespace quillo {

// The desktop's side of the permissions: global keys need an X display with
// XInput2 and XTest, or on Wayland the tools that paste there (the keys are
// the desktop's own shortcuts running Quillo's commands); the microphone needs
// a reachable audio server; the notification service asks nobody.
//
// Main thread only.
class LinuxPermissions final : public Permissions
{
public:
    bool isAccessibilityTrusted() override;
    std::string accessibilityAdvice() override;
    void requestMicrophoneAccess(std::function<void(bool)> completion) override;
    void requestNotificationAuthorization() override {}

    // On Wayland: whether the desktop's GlobalShortcuts portal gives the keys.
    void setShortcutsPortal(bool available) { m_shortcutsPortal = available; }

private:
    bool m_shortcutsPortal = false;
    PulseMicrophoneAccess m_microphone;
};

} // namespace quillo
