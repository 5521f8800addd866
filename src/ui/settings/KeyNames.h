#pragma once

#include <QString>

namespace quillo {

// A key's name as the settings show it: HotkeyStore's name, with Right Alt
// called AltGr where the keyboard layout in use makes it the third-level
// shift (most European layouts).
QString displayKeyName(int keyCode);

} // namespace quillo
