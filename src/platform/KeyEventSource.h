#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/KeyCodes.h"

namespace quillo {

// Modifier flags carried by a key event. A flag belongs to a family of keys,
// not to one side: it stays set while any key of the family is down.
namespace modifierFlag {

inline constexpr std::uint64_t shift = 0x20000;    // Left and Right Shift (56, 60)
inline constexpr std::uint64_t control = 0x40000;  // Left and Right Control (59, 62)
inline constexpr std::uint64_t option = 0x80000;   // Left and Right Option (58, 61)
inline constexpr std::uint64_t command = 0x100000; // Left and Right Command (55, 54)
inline constexpr std::uint64_t fn = 0x800000;      // Fn (63), on the Fn channel only

} // namespace modifierFlag

// The family flag that stays set while a modifier key is down, or nothing for
// keys that are not handled as modifiers. Caps Lock is deliberately absent: it
// never triggers anything.
inline std::optional<std::uint64_t> modifierFamilyFlag(int keyCode)
{
    switch (keyCode) {
    case keycode::rightCommand:
    case keycode::leftCommand:
        return modifierFlag::command;
    case keycode::leftShift:
    case keycode::rightShift:
        return modifierFlag::shift;
    case keycode::leftOption:
    case keycode::rightOption:
        return modifierFlag::option;
    case keycode::leftControl:
    case keycode::rightControl:
        return modifierFlag::control;
    case keycode::fn:
        return modifierFlag::fn;
    default:
        return std::nullopt;
    }
}

// One key event, with the key named by its macOS virtual key code
// (platform/KeyCodes.h).
struct KeyEvent
{
    enum class Type
    {
        // A modifier key (Command, Shift, Option, Control, Caps Lock, Fn) went
        // down or up; which one shows only in the flags.
        flagsChanged,
        // An ordinary key went down (possibly an auto-repeat) or up.
        keyDown,
        keyUp,
        // The Fn key changed, seen by the source's dedicated Fn channel.
        fnChanged,
    };

    Type type = Type::keyDown;
    int keyCode = 0;
    // The family flags of the modifiers that are down after this event.
    std::uint64_t modifierFlags = 0;
    // keyDown only: the key was already down and this press is a repetition.
    bool isRepeat = false;
};

// The system-wide keyboard: every key pressed and released on the desktop,
// whichever window has the focus (this program's own windows included), and
// keys that other programs have bound as their shortcuts. The source only
// listens: every application still receives every key.
//
// Modifier keys, Caps Lock included, arrive only as flagsChanged events;
// every other key arrives as keyDown and keyUp. A source may see Fn through
// the modifier path too; the Fn channel, if the platform has one, delivers it
// again as fnChanged events and is kept alive by the source itself.
//
// Threading: main thread. The handler is always called on the main thread,
// from the main loop, never from inside start() or stop().
class KeyEventSource
{
public:
    using Handler = std::function<void(const KeyEvent& event)>;

    struct Started
    {
        // Keys of every application are being watched. False when the platform
        // refused (no display, no permission); nothing is delivered then.
        bool watchingKeys = false;
        // Where the Fn channel was opened ("hid", "session"), or nothing when
        // the platform offers none; Fn is then never reported.
        std::optional<std::string> fnChannel;
    };

    virtual ~KeyEventSource() = default;

    // Begins delivering events to `handler`, replacing any earlier handler.
    virtual Started start(Handler handler) = 0;
    // Stops delivering; the handler is not called again and is released.
    // Stopping a source that is not started does nothing.
    virtual void stop() = 0;
};

} // namespace quillo
