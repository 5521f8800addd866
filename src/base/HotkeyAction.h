#pragma once

#include <array>
#include <string>

namespace quillo {

// The three things a bound key can do.
enum class HotkeyAction
{
    hold,
    toggle,
    pasteLast
};

inline constexpr std::array<HotkeyAction, 3> kHotkeyActions{HotkeyAction::hold,
                                                            HotkeyAction::toggle,
                                                            HotkeyAction::pasteLast};

// The name the user sees, e.g. in the message about a key that is taken.
std::string displayName(HotkeyAction action);

} // namespace quillo
