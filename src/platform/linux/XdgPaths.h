#pragma once

#include <string>

namespace quillo::xdg {

// $HOME, else the home directory of the user's account.
std::string homeDirectory();
// $XDG_CONFIG_HOME when absolute, else ~/.config.
std::string configHome();
// $XDG_DATA_HOME when absolute, else ~/.local/share.
std::string dataHome();

// Where Quillo keeps each kind of file.
std::string preferencesPath();     // <config>/quillo/preferences.json
std::string credentialsPath();     // <config>/quillo/credentials.json
std::string dataDirectory();       // <data>/Quillo
std::string recordingsDirectory(); // $XDG_RUNTIME_DIR/quillo, else <tmp>/quillo-<uid>
std::string autostartDirectory();  // <config>/autostart

} // namespace quillo::xdg
