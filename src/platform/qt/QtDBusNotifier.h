#pragma once

#include "platform/Notifier.h"

namespace quillo {

// Desktop notifications through org.freedesktop.Notifications on the session
// bus. Each call is a new notification (replaces_id 0). The call is
// asynchronous: a missing notification daemon never blocks the main thread.
class QtDBusNotifier final : public Notifier
{
public:
    void notify(const std::string& title, const std::string& body) override;
};

} // namespace quillo
