#pragma once

#include <string>

namespace quillo {

// Desktop notifications: the one channel for telling the user about failures
// while the program sits in the tray.
//
// Threading: main thread. Each call posts a new notification that never
// replaces an earlier one. A failure to deliver is not reported (the user may
// have switched notifications off).
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void notify(const std::string& title, const std::string& body) = 0;
};

} // namespace quillo
