#pragma once

#include <string>

#include "platform/LoginItem.h"

namespace quillo {

class FileSystem;

// Starting at login through the freedesktop autostart directory: a desktop
// entry named after the app id in `autostartDirectory` (normally
// $XDG_CONFIG_HOME/autostart) that runs `executable`.
class XdgAutostartLoginItem final : public LoginItem
{
public:
    XdgAutostartLoginItem(FileSystem& fileSystem, std::string autostartDirectory, std::string executable);

    bool setRegistered(bool registered) override;
    bool isRegistered() const override;

    // When registered, makes the entry start `executable`: an entry written by
    // another copy of Quillo (a development build, a version since moved) or
    // under the old name is written again. Called at launch of an installed
    // Quillo, so logging in starts the installed program.
    void startThisProgram();

    const std::string& entryPath() const { return m_entryPath; }

    // The desktop entry that starts `executable` with no arguments.
    static std::string desktopEntry(const std::string& executable);

    // The absolute path of the running program, so the entry starts this very
    // build wherever it lives; empty when the system cannot tell.
    static std::string runningExecutable();

private:
    FileSystem& m_fileSystem;
    std::string m_directory;
    std::string m_executable;
    std::string m_entryPath;
    std::string m_legacyPath;
};

} // namespace quillo
