#pragma once

#include <memory>
#include <optional>

#include "platform/Notifier.h"

namespace quillo {

// Desktop notifications through org.freedesktop.Notifications on the session
// bus. Each call is a new notification (replaces_id 0). The call is
// asynchronous: a missing notification daemon never blocks the main thread.
// Buttons are freedesktop "actions"; whether the server shows them is asked
// once (GetCapabilities), and their presses arrive as ActionInvoked signals.
// Every body is escaped and cut to kMaxBodyLength characters.
class QtDBusNotifier final : public Notifier
{
public:
    static constexpr int kMaxBodyLength = 300;

    QtDBusNotifier();
    ~QtDBusNotifier() override;

    void notify(const std::string& title, const std::string& body) override;
    bool supportsActions() override;
    void notify(const std::string& title,
                const std::string& body,
                const std::string& actionLabel,
                std::function<void()> onAction) override;

private:
    class Listener;
    std::unique_ptr<Listener> m_listener;
    std::optional<bool> m_supportsActions;
};

} // namespace quillo
