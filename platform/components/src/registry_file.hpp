// The registry file itself: found, checked, read and replaced as registry.hpp describes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tarnwick/components/registry.hpp"

namespace platform::registry {

// The entries of the registry at file; none when there is no file. Refuses an untrusted file.
std::vector<entry> read_file(const std::string& file);

// Under the registry's lock: reads the entries (none without a file), lets change edit them, and when it
// returns true replaces the file with the edited entries. Creates the file's directories as needed.
void update_file(const std::string& file, const std::function<bool(std::vector<entry>&)>& change);

}  // namespace platform::registry
