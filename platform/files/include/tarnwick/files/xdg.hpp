// Where configuration files lie, as the XDG base directory rules say: the user's directory and the
// system's, most important first. A path in these variables that is not absolute is passed over.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::xdg {

// $XDG_CONFIG_HOME, else $HOME/.config, where HOME is the variable or, unset or not absolute, the home
// directory the system's user database gives the user; nothing when neither gives one.
std::optional<std::string> config_home();

// The directories of $XDG_CONFIG_DIRS (separated by ":"), else /etc/xdg: the first is the most important.
std::vector<std::string> config_dirs();

}  // namespace platform::xdg
