// The registry as twhost changes and shows it: --register, --unregister and --list; and a class found in
// it by ProgID.
#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "tarnwick/components/registry.hpp"

namespace twhost {

// The class registered as prog_id, in the user's registry or else the system's, and the file it is in.
// A class registered nowhere is a host_error that says what is registered and how to add one:
// "no class 'quillset.inii' is registered (registered: quillset.ini, tw_ini.ini in
// '/usr/share/tarnwick/registry'; twhost --register LIBRARY adds one)". A registry that is malformed or
// untrusted is a platform::registry::error.
std::pair<platform::registry::entry, std::string> registered_class(const std::string& prog_id);

// Each returns the process exit status and prints its result to out; failures raise host_error.

// Registers (or unregisters) the library at path into the user's registry.
int register_library(const std::string& path, bool unregister, std::ostream& out);

// Lists the registered classes of the user's registry, then the system's: ProgID, class id, type library
// and library path; a class of the system's that the user's hides says so.
int list_classes(std::ostream& out);

}  // namespace twhost
