#include "platform/linux/XdgPaths.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace quillo::xdg {

namespace {

// XDG base directory rules: a relative path in these variables counts as unset.
std::string absoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

} // namespace

std::string homeDirectory()
{
    if (auto home = absoluteEnv("HOME"); !home.empty()) {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/tmp";
}

std::string configHome()
{
    auto dir = absoluteEnv("XDG_CONFIG_HOME");
    return dir.empty() ? homeDirectory() + "/.config" : dir;
}

std::string dataHome()
{
    auto dir = absoluteEnv("XDG_DATA_HOME");
    return dir.empty() ? homeDirectory() + "/.local/share" : dir;
}

std::string preferencesPath()
{
    return configHome() + "/quillo/preferences.json";
}

std::string credentialsPath()
{
    return configHome() + "/quillo/credentials.json";
}

std::string dataDirectory()
{
    return dataHome() + "/Quillo";
}

std::string autostartDirectory()
{
    return configHome() + "/autostart";
}

std::string recordingsDirectory()
{
    if (auto runtime = absoluteEnv("XDG_RUNTIME_DIR"); !runtime.empty()) {
        return runtime + "/quillo";
    }
    auto tmp = absoluteEnv("TMPDIR");
    return (tmp.empty() ? std::string("/tmp") : tmp) + "/quillo-" + std::to_string(::getuid());
}

} // namespace quillo::xdg
