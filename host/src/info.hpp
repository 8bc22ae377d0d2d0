// What twhost tells about libraries and classes: --register, --unregister, --list and --info.
#pragma once

#include <ostream>
#include <string>

namespace twhost {

// Each returns the process exit status and prints its result to out; failures raise host_error.

// Registers (or unregisters) the library at path into the platform's registry.
int register_library(const std::string& path, bool unregister, std::ostream& out);

// Lists the registered classes: ProgID, class id, type library and library path.
int list_classes(std::ostream& out);

// Describes a class, named by ProgID or by library path: identity, type information, version record,
// misc status, face, and the size it keeps when the host asks for another. With bitmap_file not empty,
// also writes the toolbox bitmap there.
int describe_class(const std::string& what, const std::string& bitmap_file, std::ostream& out);

}  // namespace twhost
