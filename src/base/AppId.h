#pragma once

namespace quillo {

// The name desktops know Quillo by: the installed desktop entry's file name
// (without ".desktop"), the application icon's name, the Wayland app id, the
// notifications' "desktop-entry" hint and the audio server's application id.
// They must all agree, or the desktop shows a generic icon and no name.
inline constexpr const char* kAppId = "org.quillo.Quillo";

} // namespace quillo
