#pragma once

#include <functional>

#include <QString>

namespace quillo {

// A key's name as the settings show it: HotkeyStore's name, with Right Alt
// called AltGr where the keyboard layout in use makes it the third-level
// shift (most European layouts).
QString displayKeyName(int keyCode);

// How to ask the desktop whether Right Alt is AltGr in the layout in use. Set
// once by the program at start; unset, Right Alt is named "Right Alt".
// Main thread only.
void setRightAltIsAltGrProbe(std::function<bool()> probe);

} // namespace quillo
