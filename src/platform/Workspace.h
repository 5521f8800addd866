#pragma once

#include <optional>
#include <string>

namespace quillo {

// The application the user is working in.
struct FrontApplication
{
    std::optional<std::string> bundleID; // a stable identifier of the application (X11: WM_CLASS class)
    std::optional<std::string> name;     // its human-readable name
};

// Threading: main thread.
class Workspace
{
public:
    virtual ~Workspace() = default;
    // The application in front, or nothing when no application is in front.
    // Never fails: an unreadable window counts as no application.
    virtual std::optional<FrontApplication> frontmostApplication() = 0;
};

} // namespace quillo
