#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillo {

// Reads one environment variable; tests pass their own table instead.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process environment. A variable set to the empty string reads as unset.
std::optional<std::string> processEnvironment(const std::string& name);

} // namespace quillo
