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
