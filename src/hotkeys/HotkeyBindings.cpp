#include "hotkeys/HotkeyBindings.h"

#include <algorithm>
#include <cstddef>

namespace quillo {

namespace {

std::size_t indexOf(HotkeyAction action)
{
    return static_cast<std::size_t>(action);
}

// The actions a key is checked against, in the order that decides which one
// the conflict message names.
std::array<HotkeyAction, 2> otherActions(HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::hold:
        return {HotkeyAction::toggle, HotkeyAction::pasteLast};
    case HotkeyAction::toggle:
        return {HotkeyAction::hold, HotkeyAction::pasteLast};
    case HotkeyAction::pasteLast:
        break;
    }
    return {HotkeyAction::hold, HotkeyAction::toggle};
}

bool contains(const std::vector<int>& codes, int keyCode)
{
    return std::find(codes.begin(), codes.end(), keyCode) != codes.end();
}

} // namespace

HotkeyBindings::HotkeyBindings(std::vector<int> hold, std::vector<int> toggle, std::vector<int> pasteLast)
    : m_codes{std::move(hold), std::move(toggle), std::move(pasteLast)}
{}

const std::vector<int>& HotkeyBindings::codes(HotkeyAction action) const
{
    return m_codes[indexOf(action)];
}

std::vector<int>& HotkeyBindings::mutableCodes(HotkeyAction action)
{
    return m_codes[indexOf(action)];
}

KeyEditResult HotkeyBindings::addKey(HotkeyAction action, int keyCode, const std::string& keyName)
{
    if (contains(codes(action), keyCode)) {
        return {};
    }
    for (HotkeyAction other : otherActions(action)) {
        if (contains(codes(other), keyCode)) {
            return {KeyEditResult::Outcome::conflict,
                    keyName + " is already used for \"" + displayName(other) + "\". Pick a different key."};
        }
    }
    mutableCodes(action).push_back(keyCode);
    return {KeyEditResult::Outcome::added, {}};
}

KeyEditResult HotkeyBindings::removeKey(HotkeyAction action, int keyCode)
{
    std::vector<int>& list = mutableCodes(action);
    if (list.size() < 2) {
        return {};
    }
    const auto removed = std::erase(list, keyCode);
    return {removed > 0 ? KeyEditResult::Outcome::removed : KeyEditResult::Outcome::unchanged, {}};
}

} // namespace quillo
