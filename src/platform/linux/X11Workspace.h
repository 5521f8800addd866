#pragma once

#include <memory>

#include "platform/Workspace.h"

namespace quillo {

// The front application on X11: the window manager's _NET_ACTIVE_WINDOW and
// its WM_CLASS. The class ("Firefox", "Gedit") identifies the application and
// is also its name; the window title names a document, not an application, so
// it is used only when a window has no class at all. Uses a connection of its
// own, so a vanished window (BadWindow) never disturbs the toolkit's.
class X11Workspace final : public Workspace
{
public:
    X11Workspace();
    ~X11Workspace() override;

    std::optional<FrontApplication> frontmostApplication() override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace quillo
