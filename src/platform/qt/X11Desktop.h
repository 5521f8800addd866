#pragma once

#include <optional>

#include <QPoint>

namespace quillo {

// What the screens ask the X server Qt is connected to. Each needs a
// QGuiApplication and the main thread; off X11 they answer "yes", "nothing"
// and "no", and the platform decides.

// Whether a compositing manager draws the screen. Without one, X ignores the
// alpha channel and translucent windows show black corners.
bool isX11CompositorRunning();

// The centre of the window with the keyboard focus, in screen coordinates.
std::optional<QPoint> x11FocusedWindowCentre();

// Whether Right Alt is the third-level shift (AltGr) in the layout in use.
bool x11RightAltIsAltGr();

} // namespace quillo
