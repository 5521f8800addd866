#include "platform/linux/X11KeyTranslator.h"

#include "base/KeyCodes.h"

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
    return macKeyCodeFromXkb(xKeyCode);
}

std::uint64_t X11KeyTranslator::familyFlags() const
{
    std::uint64_t flags = 0;
    for (int key : m_down) {
        switch (key) {
        case keycode::rightCommand:
        case keycode::leftCommand:
            flags |= modifierFlag::command;
            break;
        case keycode::leftShift:
        case keycode::rightShift:
            flags |= modifierFlag::shift;
            break;
        case keycode::leftOption:
        case keycode::rightOption:
            flags |= modifierFlag::option;
            break;
        case keycode::leftControl:
        case keycode::rightControl:
            flags |= modifierFlag::control;
            break;
        default:
            break;
        }
    }
    return flags;
}

std::optional<KeyEvent> X11KeyTranslator::press(int xKeyCode, bool serverRepeat)
{
    const auto code = macKeyCode(xKeyCode);
    if (!code) {
        return std::nullopt;
    }
    const bool alreadyDown = !m_down.insert(*code).second;
    if (isModifier(*code)) {
        // A held modifier changes no flag however often it repeats.
        if (alreadyDown || serverRepeat) {
            return std::nullopt;
        }
        return KeyEvent{KeyEvent::Type::flagsChanged, *code, familyFlags(), false};
    }
    return KeyEvent{KeyEvent::Type::keyDown, *code, familyFlags(), alreadyDown || serverRepeat};
}

std::optional<KeyEvent> X11KeyTranslator::release(int xKeyCode)
{
    const auto code = macKeyCode(xKeyCode);
    if (!code) {
        return std::nullopt;
    }
    m_down.erase(*code);
    const auto type = isModifier(*code) ? KeyEvent::Type::flagsChanged : KeyEvent::Type::keyUp;
    return KeyEvent{type, *code, familyFlags(), false};
}

} // namespace quillo
