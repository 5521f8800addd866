#pragma once

class QWidget;

namespace quillo {

// Shows, in a window of Quillo's own, how to get global hotkeys and pasting
// to work on this desktop: the help ships inside the program.
void showKeysHelp(QWidget* parent = nullptr);

} // namespace quillo
