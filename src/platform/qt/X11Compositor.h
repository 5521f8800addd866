#pragma once

namespace quillo {

// Whether a compositing manager draws the X screen Qt is connected to. Without
// one, X ignores the alpha channel and translucent windows show black corners.
// True when Qt is not on X11 (translucency is then the platform's business).
//
// Needs a QGuiApplication; main thread only.
bool isX11CompositorRunning();

} // namespace quillo
