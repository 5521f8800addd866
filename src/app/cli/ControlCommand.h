#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace quillo {

class ControlClient;

namespace commands {

// True for "start", "stop", "toggle", "cancel", "paste-last" and "status".
bool isControlCommand(std::string_view name);

// `quillo start|stop|toggle|cancel|paste-last|status`: asks the running Quillo
// to act as its keys would, or (status) prints its state, one word on a line.
// Returns 0 when done; 1 when no Quillo runs, it refused or could not be
// asked, with the reason on `err`; kUsageError for arguments.
int control(ControlClient& client,
            std::string_view name,
            std::span<const std::string> args,
            std::ostream& out,
            std::ostream& err);

} // namespace commands

} // namespace quillo
