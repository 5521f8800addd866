#pragma once

#include "platform/DesktopProbe.h"

namespace quillo {

class PulseAudioDevices;

// The session as this user's environment, X server, session bus and audio
// server describe it. Needs a QCoreApplication for the D-Bus calls, but no
// display: every question is asked directly, not through a Qt GUI platform.
class QtDesktopProbe final : public DesktopProbe
{
public:
    explicit QtDesktopProbe(PulseAudioDevices& audio);

    Session session() override;
    std::optional<std::string> audioServer() override;
    std::optional<std::string> trayHost() override;
    std::optional<std::string> notificationServer() override;
    bool accessibilityBus() override;
    Folder folder(const std::string& path) override;

private:
    PulseAudioDevices& m_audio;
};

} // namespace quillo
