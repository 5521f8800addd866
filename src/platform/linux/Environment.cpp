#include "platform/linux/Environment.h"

#include <cstdlib>

namespace quillo {

std::optional<std::string> processEnvironment(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (!value || value[0] == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace quillo
