#pragma once

namespace quillo {

// The name desktops know Quillo by: the installed desktop entry's file name
// (without ".desktop"), the application icon's name, the Wayland app id and the
// notifications' "desktop-entry" hint. They must all agree, or the desktop
// shows a generic icon and no name.
inline constexpr const char* kAppId = "org.quillo.Quillo";

} // namespace quillo
