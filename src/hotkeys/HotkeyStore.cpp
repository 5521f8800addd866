#include "hotkeys/HotkeyStore.h"

#include <cmath>
#include <limits>
#include <optional>

#include "base/KeyCodes.h"
#include "platform/Preferences.h"

namespace quillo {

namespace {

struct ActionKeys
{
    const char* listKey;
    const char* legacyKey;
    int defaultCode;
};

ActionKeys keysOf(HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::hold:
        return {HotkeyStore::holdKey, "hotkeyCode", keycode::rightOption};
    case HotkeyAction::toggle:
        return {HotkeyStore::toggleKey, "toggleHotkeyCode", keycode::rightControl};
    case HotkeyAction::pasteLast:
        break;
    }
    return {HotkeyStore::pasteLastKey, "pasteLastHotkeyCode", keycode::f5};
}

// A JSON number that is a whole number within int range (61 or 61.0); text,
// booleans and fractions are not key codes.
std::optional<int> asKeyCode(const Preferences::Value& value)
{
    if (value.is_number_integer()) {
        const auto n = value.get<std::int64_t>();
        if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max()) {
            return static_cast<int>(n);
        }
        return std::nullopt;
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::trunc(d) == d && d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()) {
            return static_cast<int>(d);
        }
    }
    return std::nullopt;
}

} // namespace

HotkeyStore::HotkeyStore(Preferences& preferences) : m_preferences(preferences) {}

std::vector<int> HotkeyStore::holdCodes() const
{
    return codes(HotkeyAction::hold);
}

std::vector<int> HotkeyStore::toggleCodes() const
{
    return codes(HotkeyAction::toggle);
}

std::vector<int> HotkeyStore::pasteLastCodes() const
{
    return codes(HotkeyAction::pasteLast);
}

std::vector<int> HotkeyStore::codes(HotkeyAction action) const
{
    const ActionKeys keys = keysOf(action);
    return codes(keys.listKey, keys.legacyKey, keys.defaultCode);
}

HotkeyBindings HotkeyStore::bindings() const
{
    return HotkeyBindings(holdCodes(), toggleCodes(), pasteLastCodes());
}

std::vector<int> HotkeyStore::codes(const std::string& listKey, const std::string& legacyKey, int defaultCode) const
{
    if (const auto stored = m_preferences.arrayForKey(listKey); stored && !stored->empty()) {
        std::vector<int> list;
        list.reserve(stored->size());
        for (const auto& element : *stored) {
            const auto code = asKeyCode(element);
            if (!code) {
                // One stray element spoils the whole list.
                list.clear();
                break;
            }
            list.push_back(*code);
        }
        if (!list.empty()) {
            return list;
        }
    }
    // A stored 0 cannot be told from nothing, so key code 0 never comes back
    // from the older format.
    const std::int64_t legacy = m_preferences.integerForKey(legacyKey);
    if (legacy != 0 && legacy >= std::numeric_limits<int>::min() && legacy <= std::numeric_limits<int>::max()) {
        return {static_cast<int>(legacy)};
    }
    return {defaultCode};
}

void HotkeyStore::save(const std::vector<int>& codes, const std::string& preferenceKey)
{
    m_preferences.setObject(preferenceKey, Preferences::Value(codes));
}

KeyEditResult HotkeyStore::addKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode, const std::string& name)
{
    KeyEditResult result = bindings.addKey(action, keyCode, name);
    if (result.changed()) {
        save(bindings.codes(action), preferenceKey(action));
    }
    return result;
}

KeyEditResult HotkeyStore::removeKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode)
{
    KeyEditResult result = bindings.removeKey(action, keyCode);
    if (result.changed()) {
        save(bindings.codes(action), preferenceKey(action));
    }
    return result;
}

const char* HotkeyStore::preferenceKey(HotkeyAction action)
{
    return keysOf(action).listKey;
}

std::string HotkeyStore::keyName(int keyCode, bool rightAltIsAltGr)
{
    // The stored codes are the same everywhere; the names are what Linux
    // keyboards and desktops call the keys.
    switch (keyCode) {
    case keycode::fn:
        return "Fn";
    case keycode::rightOption:
        return rightAltIsAltGr ? "AltGr" : "Right Alt";
    case keycode::leftOption:
        return "Left Alt";
    case keycode::rightControl:
        return "Right Ctrl";
    case keycode::leftControl:
        return "Left Ctrl";
    case keycode::rightCommand:
        return "Right Super";
    case keycode::leftCommand:
        return "Left Super";
    case keycode::rightShift:
        return "Right Shift";
    case keycode::leftShift:
        return "Left Shift";
    case keycode::f5:
        return "F5";
    case keycode::f6:
        return "F6";
    case keycode::f7:
        return "F7";
    case keycode::f8:
        return "F8";
    case keycode::f9:
        return "F9";
    case keycode::f10:
        return "F10";
    case keycode::f11:
        return "F11";
    case keycode::f12:
        return "F12";
    default:
        return "Key " + std::to_string(keyCode);
    }
}

} // namespace quillo
