// The registry as twhost changes and shows it: --register, --unregister and --list.
#pragma once

#include <ostream>
#include <string>

namespace twhost {

// Each returns the process exit status and prints its result to out; failures raise host_error.

// Registers (or unregisters) the library at path into the platform's registry.
int register_library(const std::string& path, bool unregister, std::ostream& out);

// Lists the registered classes: ProgID, class id, type library and library path.
int list_classes(std::ostream& out);

}  // namespace twhost
