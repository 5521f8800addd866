#include "platform/linux/X11KeyTranslator.h"

#include "platform/KeyCodes.h"

namespace quillo {

namespace {

// Modifier keys, Caps Lock included, are reported as flag changes only.
bool isModifier(int macCode)
{
    return macCode >= keycode::rightCommand && macCode <= keycode::fn;
}

} // namespace

std::optional<int> X11KeyTranslator::macKeyCode(int xKeyCode)
{
    switch (xKeyCode) {
    case 108: // Alt_R
        return keycode::rightOption;
    case 64: // Alt_L
        return keycode::leftOption;
    case 105: // Control_R
        return keycode::rightControl;
    case 37: // Control_L
        return keycode::leftControl;
    case 134: // Super_R
        return keycode::rightCommand;
    case 133: // Super_L
        return keycode::leftCommand;
    case 62: // Shift_R
        return keycode::rightShift;
    case 50: // Shift_L
        return keycode::leftShift;
    case 66:
        return keycode::capsLock;
    case 71:
        return keycode::f5;
    case 72:
        return keycode::f6;
    case 73:
        return keycode::f7;
    case 74:
        return keycode::f8;
    case 75:
        return keycode::f9;
    case 76:
        return keycode::f10;
    case 95:
        return keycode::f11;
    case 96:
        return keycode::f12;
    case 9:
        return keycode::escape;
    case 36:
        return keycode::returnKey;
    default:
        return std::nullopt;
    }
}

std::uint64_t X11KeyTranslator::familyFlags() const
{
    std::uint64_t flags = 0;
    for (int xKeyCode : m_down) {
        if (const auto code = macKeyCode(xKeyCode)) {
            flags |= modifierFamilyFlag(*code).value_or(0);
        }
    }
    return flags;
}

std::optional<KeyEvent> X11KeyTranslator::press(int xKeyCode, bool serverRepeat)
{
    const int code = macKeyCode(xKeyCode).value_or(keycode::otherKey);
    const bool alreadyDown = !m_down.insert(xKeyCode).second;
    if (isModifier(code)) {
        // A held modifier changes no flag however often it repeats.
        if (alreadyDown || serverRepeat) {
            return std::nullopt;
        }
        return KeyEvent{KeyEvent::Type::flagsChanged, code, familyFlags(), false};
    }
    return KeyEvent{KeyEvent::Type::keyDown, code, familyFlags(), alreadyDown || serverRepeat};
}

std::optional<KeyEvent> X11KeyTranslator::release(int xKeyCode)
{
    const int code = macKeyCode(xKeyCode).value_or(keycode::otherKey);
    m_down.erase(xKeyCode);
    const auto type = isModifier(code) ? KeyEvent::Type::flagsChanged : KeyEvent::Type::keyUp;
    return KeyEvent{type, code, familyFlags(), false};
}

std::vector<KeyEvent> X11KeyTranslator::resync(const std::function<bool(int xKeyCode)>& isDownOnServer)
{
    std::vector<int> stale;
    for (int xKeyCode : m_down) {
        if (!isDownOnServer(xKeyCode)) {
            stale.push_back(xKeyCode);
        }
    }
    std::vector<KeyEvent> releases;
    for (int xKeyCode : stale) {
        if (auto event = release(xKeyCode)) {
            releases.push_back(*event);
        }
    }
    return releases;
}

} // namespace quillo
