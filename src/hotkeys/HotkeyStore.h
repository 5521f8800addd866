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
    static constexpr const char* holdKey = "holdKeyCodes";
    static constexpr const char* toggleKey = "toggleKeyCodes";
    static constexpr const char* pasteLastKey = "pasteLastKeyCodes";

    explicit HotkeyStore(Preferences& preferences);

    // The current keys of each action; never empty.
    std::vector<int> holdCodes() const;
    std::vector<int> toggleCodes() const;
    std::vector<int> pasteLastCodes() const;
    std::vector<int> codes(HotkeyAction action) const;
    HotkeyBindings bindings() const;

    // Replaces the list stored under `preferenceKey` (one of the three keys
    // above). No check of the codes.
    void save(const std::vector<int>& codes, const std::string& preferenceKey);

    // The edits of HotkeyBindings on the caller's copy, each saving the
    // action's list when it changed.
    KeyEditResult addKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode, const std::string& keyName);
    KeyEditResult removeKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode);

    static const char* preferenceKey(HotkeyAction action);

    // "Right Alt", "F5", ... and "Key 42" for keys without a name. Right Alt
    // is "AltGr" where the keyboard layout makes it the third-level shift.
    static std::string keyName(int keyCode, bool rightAltIsAltGr = false);

private:
    std::vector<int> codes(const std::string& listKey, const std::string& legacyKey, int defaultCode) const;

    Preferences& m_preferences;
};

} // namespace quillo
