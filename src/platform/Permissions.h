#pragma once

#include <functional>
#include <string>

namespace quillo {

// What the desktop must grant before dictation works: seeing global keys and
// posting the paste keystroke ("accessibility"), the microphone, notifications.
class Permissions
{
public:
    virtual ~Permissions() = default;

    // Main thread. True when global keys can be watched and synthesised.
    virtual bool isAccessibilityTrusted() = 0;

    // Main thread. What limits global keys in this session and what the user
    // can do about it, in a few sentences; empty when nothing does. May be
    // set while keys are trusted, for a session where they work only in part.
    virtual std::string accessibilityAdvice() = 0;

    // Main thread. `completion` may run on any thread, once, with whether
    // audio capture is possible.
    virtual void requestMicrophoneAccess(std::function<void(bool granted)> completion) = 0;

    // Main thread. The answer is not reported; whether notifications appear is
    // the user's choice.
    virtual void requestNotificationAuthorization() = 0;
};

} // namespace quillo
