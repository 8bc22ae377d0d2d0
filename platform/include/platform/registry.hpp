// The platform's per-user registry of control classes: a small text file that DllRegisterServer writes and a
// host reads to create a control by ProgID.
//
// Location: the file named by the environment variable TARNWICK_REGISTRY when it is set and not empty;
// otherwise $XDG_CONFIG_HOME/tarnwick/registry, or ~/.config/tarnwick/registry without XDG_CONFIG_HOME.
//
// Format: one section per class, named by its class id, with one Name=value line per field:
//
//     [{1586DEDE-9569-4721-8175-178F054C778E}]
//     ProgID=quillset.ini
//     Path=/usr/lib/libpenmoor.so.1
//     ...
//
// Every change takes an exclusive lock on "<file>.lock", reads the file, and replaces it atomically (a
// temporary file beside it, flushed, then renamed over it), so concurrent registrations lose nothing and
// a reader never sees a partial file.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/component.h"

namespace platform::registry {

// Reading or writing the registry failed; the message names the file and the system's error text.
class error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct entry {
    twc_guid class_id{};
    std::string prog_id;
    std::string path;  // absolute path of the library
    std::string threading_model;
    std::uint32_t misc_status = 0;
    std::uint32_t toolbox_bitmap = 0;
    twc_guid type_library{};
    std::string type_library_name;
    std::string type_library_version;  // "15.0"
    std::string help_string;
};

// The registry file of this user, as described above.
std::string location();

// Every entry of the file; none when the file does not exist. A malformed file is an error.
std::vector<entry> load(const std::string& file);

// Adds the entry, replacing any entry of the same class id or ProgID. Creates the file and its
// directory when needed. A field holding a line break is an error and changes nothing.
void add(const std::string& file, const entry& e);

// Removes the entry of that class id; false when there was none.
bool remove(const std::string& file, const twc_guid& class_id);

// The entry registered under a ProgID (compared without regard to ASCII case).
std::optional<entry> find(const std::vector<entry>& entries, std::string_view prog_id);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back.
std::string format_guid(const twc_guid& id);
std::optional<twc_guid> parse_guid(std::string_view text);

}  // namespace platform::registry
