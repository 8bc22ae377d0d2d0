// What twhost tells about a class: --info.
#pragma once

#include <ostream>
#include <string>

namespace twhost {

// Describes a class, named by ProgID or by library path, and returns the process exit status; failures
// raise host_error. What it prints: identity, type information, version record,
// misc status, face, and the size it keeps when the host asks for another. With bitmap_file not empty,
// also writes the toolbox bitmap there.
int describe_class(const std::string& what, const std::string& bitmap_file, std::ostream& out);

}  // namespace twhost
