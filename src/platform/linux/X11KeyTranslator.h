#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "platform/KeyEventSource.h"

namespace quillo {

// Turns the X server's raw key presses and releases (hardware key codes, the
// evdev code + 8, the same whatever the keyboard layout) into key events with
// macOS virtual key codes.
//
// Raw events say nothing about modifier state, so the family flags are
// computed from the keys this translator has seen go down and not yet up; the
// same set recognises a press of a key that is already down as auto-repeat.
// Keys without a macOS counterpart here are dropped.
class X11KeyTranslator
{
public:
    // `serverRepeat` is the server's own repeat marker on the event.
    std::optional<KeyEvent> press(int xKeyCode, bool serverRepeat);
    std::optional<KeyEvent> release(int xKeyCode);

    // Forgets every pressed key (after a pause in watching, releases may
    // have been missed).
    void reset() { m_down.clear(); }

    // The macOS virtual key code of an X hardware key code.
    static std::optional<int> macKeyCode(int xKeyCode);

private:
    std::uint64_t familyFlags() const;

    std::set<int> m_down; // macOS codes of the keys currently down
};

} // namespace quillo
