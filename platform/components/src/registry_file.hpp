// The registry file itself: found, checked, read and replaced as registry.hpp describes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tarnwick/components/registry.hpp"
#include "tarnwick/files/line_reader.hpp"

namespace platform::registry {

// The entries of a registry file's lines (which end at LF, CR LF or CR); file names it in messages. A
// malformed line is an error naming the line:
// "malformed registry 'f': line 3: Path is not an absolute path: 'lib.so'".
std::vector<entry> parse(platform::line_reader& lines, const std::string& file);

// The entries of the registry at file; none when there is no file. Refuses an untrusted file.
std::vector<entry> read_file(const std::string& file);

// The entries of the system's registry at path; none when there is no file. Refuses an untrusted file.
std::vector<entry> read_system_file(const std::string& path);

// Under the registry's lock: reads the entries (none without a file), lets change edit them, and when it
// returns true replaces the file with the edited entries. Creates the file's directories as needed.
void update_file(const std::string& file, const std::function<bool(std::vector<entry>&)>& change);

}  // namespace platform::registry
