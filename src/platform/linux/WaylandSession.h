#pragma once

#include <optional>
#include <string>

namespace quillo {

// True in a Wayland session: WAYLAND_DISPLAY is set, or XDG_SESSION_TYPE says
// "wayland". X11 applications may still run there, through XWayland.
bool isWaylandSession();

// The full path of an executable `name` on PATH, or nothing.
std::optional<std::string> findProgram(const std::string& name);

// What Quillo runs to paste on Wayland, and what each is for.
struct WaylandTool
{
    const char* program;
    const char* package; // the Debian package that has it
};
inline constexpr WaylandTool kWaylandTools[] = {{"wl-copy", "wl-clipboard"},
                                                {"wl-paste", "wl-clipboard"},
                                                {"wtype", "wtype"}};

// What a Wayland session offers dictation and what the user can do about the
// rest, in a few sentences: hotkeys through the desktop's GlobalShortcuts
// portal (`shortcutsPortal`) or else its own shortcuts running Quillo's
// commands, and the tools above (`toolsFound`: all of them are there).
std::string waylandAdvice(bool toolsFound, bool shortcutsPortal);

} // namespace quillo
