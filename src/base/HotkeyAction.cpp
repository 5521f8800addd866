#include "base/HotkeyAction.h"

namespace quillo {

std::string displayName(HotkeyAction action)
{
    switch (action) {
    case HotkeyAction::hold:
        return "Hold to record";
    case HotkeyAction::toggle:
        return "Hands-free toggle";
    case HotkeyAction::pasteLast:
        return "Paste last";
    }
    return {};
}

} // namespace quillo
