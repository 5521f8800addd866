#pragma once

#include <functional>
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

    // Whether the notification service shows buttons on notifications.
    virtual bool supportsActions() = 0;
    // A notification with one button labelled `actionLabel`; `onAction` runs on
    // the main thread when the user presses it. Where buttons are not shown it
    // is a plain notification.
    virtual void notify(const std::string& title,
                        const std::string& body,
                        const std::string& actionLabel,
                        std::function<void()> onAction) = 0;
};

} // namespace quillo
