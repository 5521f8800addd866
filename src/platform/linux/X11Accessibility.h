#pragma once

#include <string>

namespace quillo {

// What stands for the Accessibility permission on X11: the display can be
// reached, and it has XInput 2 (to see every key) and XTest (to type the
// paste keystroke). A pure Wayland session fails it.
//
// `displayName` empty means $DISPLAY. Opens and closes a connection of its
// own; any thread.
bool isX11AccessibilityTrusted(const std::string& displayName = {});

// What isX11AccessibilityTrusted() found missing and how a user gets it;
// empty in an X11 session that has everything.
std::string x11AccessibilityAdvice(const std::string& displayName = {});

} // namespace quillo
