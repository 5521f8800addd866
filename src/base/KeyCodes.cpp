#include "base/KeyCodes.h"

namespace quillo {

std::optional<int> macKeyCodeFromXkb(int xkbKeyCode)
{
    switch (xkbKeyCode) {
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

} // namespace quillo
