#pragma once

#include "platform/Notifier.h"

namespace quillo {

// Desktop notifications through org.freedesktop.Notifications on the session
// bus. Each call is a new notification (replaces_id 0). The call is
// asynchronous: a missing notification daemon never blocks the main thread.
//
// Bodies are markup to most notification servers, and many texts shown here
// were not written by Quillo (a service's error page, a file name), so every
// body is escaped and cut to kMaxBodyLength characters: a long one would fill
// the screen or be cut by the server where it pleases.
class QtDBusNotifier final : public Notifier
{
public:
    static constexpr int kMaxBodyLength = 300;

    void notify(const std::string& title, const std::string& body) override;
};

} // namespace quillo
