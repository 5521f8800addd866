#pragma once

#include <optional>
#include <string>

namespace quillo {

// The commands of `quillo COMMAND ...`, run without starting the desktop app.
// The exit status when the arguments name a command (or ask for the help or
// the version); nothing when they start the desktop app.
std::optional<int> runCommandLine(int argc, char** argv);

// Where dictations that could not be transcribed are kept.
std::string keptDirectory();

} // namespace quillo
