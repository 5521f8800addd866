#pragma once

#include "platform/Workspace.h"

namespace quillo {

// The front application on Wayland: the protocol tells no client which
// application has the focus, so there is none to name. Dictations made there
// carry no application in the history, and pastes use the method for an
// unknown application.
class WaylandWorkspace final : public Workspace
{
public:
    std::optional<FrontApplication> frontmostApplication() override { return std::nullopt; }
};

} // namespace quillo
