#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/HotkeyAction.h"

namespace quillo {

// What an edit of the bindings did.
struct KeyEditResult
{
    enum class Outcome
    {
        unchanged, // nothing to do: the key was already there, or is the last one
        added,
        removed,
        conflict, // the key belongs to another action; see message
    };

    Outcome outcome = Outcome::unchanged;
    // For a conflict, the sentence to show the user; empty otherwise.
    std::string message;

    bool changed() const { return outcome == Outcome::added || outcome == Outcome::removed; }
};

// The key lists of the three actions, as the settings screen edits them. The
// edits keep every key bound to at most one action, every action with at least
// one key, and no list with duplicates; the lists themselves are plain data
// and trust whatever they were built from.
class HotkeyBindings
{
public:
    HotkeyBindings(std::vector<int> hold, std::vector<int> toggle, std::vector<int> pasteLast);

    const std::vector<int>& codes(HotkeyAction action) const;

    // Appends the key to the action's list unless the list has it already or
    // another action holds it. `keyName` is how the key is named in the
    // conflict message.
    KeyEditResult addKey(HotkeyAction action, int keyCode, const std::string& keyName);

    // Removes the key from the action's list, unless that would leave the
    // action without a key.
    KeyEditResult removeKey(HotkeyAction action, int keyCode);

    friend bool operator==(const HotkeyBindings&, const HotkeyBindings&) = default;

private:
    std::vector<int>& mutableCodes(HotkeyAction action);

    std::array<std::vector<int>, 3> m_codes; // indexed by HotkeyAction
};

} // namespace quillo
