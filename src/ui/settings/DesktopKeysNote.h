#pragma once

class QLabel;

namespace quillo {

// True in a Wayland session, where the desktop keeps global keys to itself.
bool keysManagedByDesktop();

// The note under the hotkeys in a Wayland session: the keys there belong to
// the desktop, and how to bind Quillo's commands to its shortcuts. Nothing
// (nullptr) when `managedByDesktop` is false.
QLabel* desktopKeysNote(bool managedByDesktop);

} // namespace quillo
