// The user's folders as the XDG base directory specification reads them, in one place for every
// Linux service that keeps files for the user (registry hives, the program icon, the cookie store
// and site data), so that they all agree on where the user's folders are.
#pragma once

#include <string>

namespace kestrune::platform {

// $HOME when it is an absolute path, else the password database's home; empty when neither is.
std::string HomeDirectory();
// $XDG_CONFIG_HOME when absolute, else <home>/.config; empty without a home.
std::string ConfigHome();
// $XDG_DATA_HOME when absolute, else <home>/.local/share; empty without a home.
std::string DataHome();

}  // namespace kestrune::platform
