#include "hotkeys/HotkeyStore.h"

#include "base/KeyCodes.h"
#include "platform/Preferences.h"
#include "settings/Settings.h"

namespace quillo {

namespace {

const KeyCodesSetting& settingOf(HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::hold:
        return setting::holdKeys;
    case HotkeyAction::toggle:
        return setting::toggleKeys;
    case HotkeyAction::pasteLast:
        break;
    }
    return setting::pasteLastKeys;
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
    return Settings(m_preferences).get(settingOf(action));
}

HotkeyBindings HotkeyStore::bindings() const
{
    return HotkeyBindings(holdCodes(), toggleCodes(), pasteLastCodes());
}

void HotkeyStore::save(const std::vector<int>& codes, HotkeyAction action)
{
    EditableSettings(m_preferences).set(settingOf(action), codes);
}

KeyEditResult HotkeyStore::addKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode, const std::string& name)
{
    KeyEditResult result = bindings.addKey(action, keyCode, name);
    if (result.changed()) {
        save(bindings.codes(action), action);
    }
    return result;
}

KeyEditResult HotkeyStore::removeKey(HotkeyBindings& bindings, HotkeyAction action, int keyCode)
{
    KeyEditResult result = bindings.removeKey(action, keyCode);
    if (result.changed()) {
        save(bindings.codes(action), action);
    }
    return result;
}

const char* HotkeyStore::preferenceKey(HotkeyAction action)
{
    return settingOf(action).key;
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
