#pragma once

#include <optional>

namespace quillo {

// Keys are named by macOS virtual key codes everywhere in the program (key
// events, bindings, preference values), so a preference file means the same
// keys on every platform. Platform key sources translate into these.
namespace keycode {

// Any key that has no code of its own here (letters, digits, punctuation...).
// Sources still report it, so that a bound key held down while such a key is
// pressed reads as part of a shortcut.
inline constexpr int otherKey = -1;

inline constexpr int returnKey = 36;
inline constexpr int escape = 53;
inline constexpr int rightCommand = 54;
inline constexpr int leftCommand = 55;
inline constexpr int leftShift = 56;
inline constexpr int capsLock = 57;
inline constexpr int leftOption = 58;
inline constexpr int leftControl = 59;
inline constexpr int rightShift = 60;
inline constexpr int rightOption = 61;
inline constexpr int rightControl = 62;
inline constexpr int fn = 63;
// The function keys' codes are not consecutive.
inline constexpr int f5 = 96;
inline constexpr int f6 = 97;
inline constexpr int f7 = 98;
inline constexpr int f8 = 100;
inline constexpr int f9 = 101;
inline constexpr int f10 = 109;
inline constexpr int f11 = 103;
inline constexpr int f12 = 111;

} // namespace keycode

// The macOS virtual key code of an XKB key code (the evdev code + 8, the same
// whatever the keyboard layout), as X11 and Wayland both report keys; nothing
// for keys without a counterpart.
std::optional<int> macKeyCodeFromXkb(int xkbKeyCode);

} // namespace quillo
