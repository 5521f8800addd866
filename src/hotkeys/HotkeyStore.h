#pragma once

#include <string>
#include <vector>

#include "base/HotkeyAction.h"
#include "hotkeys/HotkeyBindings.h"

namespace quillo {

class Preferences;

// The key bindings of the three actions in the preference store, and the
// names keys are shown with.
//
// Each action's keys are an array of integers under its own key. Older
// versions kept a single key per action under another key; that value is
// still read when the array is missing, but never written or removed.
//
// Threading: any thread (the preference store is).
class HotkeyStore
{
public:
    explicit HotkeyStore(Preferences& preferences);

    // The current keys of each action; never empty.
    std::vector<int> holdCodes() const;
    std::vector<int> toggleCodes() const;
    std::vector<int> pasteLastCodes() const;
    std::vector<int> codes(HotkeyAction action) const;
    HotkeyBindings bindings() const;

    // Replaces the action's stored list. No check of the codes.
    void save(const std::vector<int>& codes, HotkeyAction action);

    // The edits of HotkeyBindings on the caller's copy, each saving the
    // action's list when it changed.
    KeyEditResult addKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode, const std::string& keyName);
    KeyEditResult removeKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode);

    static const char* preferenceKey(HotkeyAction action);

    // "Right Alt", "F5", ... and "Key 42" for keys without a name. Right Alt
    // is "AltGr" where the keyboard layout makes it the third-level shift.
    static std::string keyName(int keyCode, bool rightAltIsAltGr = false);

private:
    Preferences& m_preferences;
};

} // namespace quillo
