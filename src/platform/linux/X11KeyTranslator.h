#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "platform/KeyEventSource.h"

namespace quillo {

// Turns the X server's raw key presses and releases (hardware key codes, the
// evdev code + 8, the same whatever the keyboard layout) into key events with
// macOS virtual key codes.
//
// Raw events say nothing about modifier state, so the family flags are
// computed from the keys this translator has seen go down and not yet up; the
// same set recognises a press of a key that is already down as auto-repeat.
// Keys without a macOS counterpart here are reported as keycode::otherKey.
class X11KeyTranslator
{
public:
    // `serverRepeat` is the server's own repeat marker on the event.
    std::optional<KeyEvent> press(int xKeyCode, bool serverRepeat);
    std::optional<KeyEvent> release(int xKeyCode);

    bool isDown(int xKeyCode) const { return m_down.count(xKeyCode) != 0; }

    // Brings the held keys in line with the server's keyboard state: every key
    // believed down that `isDownOnServer` says is up is released, and the
    // release events are returned in key order. Keys down on the server but
    // never seen pressed stay unknown: inventing their presses could start a
    // recording nobody asked for.
    std::vector<KeyEvent> resync(const std::function<bool(int xKeyCode)>& isDownOnServer);

    // Forgets every pressed key (after a pause in watching, releases may
    // have been missed).
    void reset() { m_down.clear(); }

    // The macOS virtual key code of an X hardware key code.
    static std::optional<int> macKeyCode(int xKeyCode);

private:
    std::uint64_t familyFlags() const;

    std::set<int> m_down; // X key codes of the keys currently down
};

} // namespace quillo
