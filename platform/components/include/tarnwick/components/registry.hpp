// The platform's per-user registry of control classes: a small text file that DllRegisterServer writes and a
// host reads to create a control by ProgID. A host reads the system's registry after it: a file of the
// same format that an install ships with the classes of the libraries it installs, and that nothing
// registers into.
//
// Location: the file named by the environment variable TARNWICK_REGISTRY when it is set and not empty;
// otherwise $XDG_CONFIG_HOME/tarnwick/registry, or ~/.config/tarnwick/registry without XDG_CONFIG_HOME.
// The system's: the file named by TARNWICK_SYSTEM_REGISTRY when it is set (none when it is set empty),
// otherwise share/tarnwick/registry of the installation the running program belongs to
// (<prefix>/share/tarnwick/registry for <prefix>/bin/twhost; /usr/share/tarnwick/registry for the
// packages).
//
// Format: one section per class, named by its class id, with one Name=value line per field:
//
//     [{1586DEDE-9569-4721-8175-178F054C778E}]
//     ProgID=quillset.ini
//     Path=/usr/lib/libpenmoor.so.1
//     ...
//
// Trust: the registry names libraries that a host loads and runs, so it is used only where nobody but its
// user could have written it. load, add and remove refuse, with an error naming the file and the reason
// and before anything of it is used:
//  - a registry file, or the directory holding it, that is owned by someone other than the user or root,
//    or that its group or others may write;
//  - anything but a regular file: the file is opened without blocking, so a pipe or a device there is
//    refused at once, never waited on;
//  - a class whose library path (Path=) is not absolute: nothing is ever loaded from the current
//    directory. add records absolute paths only.
// A symbolic link at the registry's name is resolved once: its target is the file read and replaced (the
// link stays a link), the checks apply to the target and its directory, and the directory holding the link
// must be trusted too, since whoever may write there may re-point the link. Directories made for the
// registry are the user's alone (mode 0700), and each is flushed, with the directory holding it, once made.
//
// Every change takes an exclusive lock on "<file>.lock" beside the file (never through a symbolic link),
// reads the file, and replaces it through platform::replace_file (a copy beside it, flushed, renamed over
// it, the directory flushed), so concurrent registrations lose nothing and a reader never sees a partial
// file. Every system call goes through the platform's table (tarnwick/files/sys.hpp).
//
// The system's registry is trusted as a library is (tarnwick/components/trusted_file.hpp): the file and
// every directory on the way to it belong to root or the user and nobody else may write them; else it
// is refused, naming the file and the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/components/component.h"

namespace platform::registry {

// Reading or writing the registry failed, or it was refused; the message names the file and the reason:
// the system's error text, the malformed line, the failed check.
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

// The entry of a library's class, as registration writes it, naming the library by path.
entry entry_of(const twc_class_info& info, std::string path);

// The registry file of this user, as described above.
std::string location();
// The system's registry file, as described above; empty when there is none.
std::string system_location();

// Every entry of the file; none when the file does not exist (nor the target of a link there). A malformed
// or untrusted file is an error.
std::vector<entry> load(const std::string& file);
// Every entry of the system's registry file; none when it does not exist. A malformed or untrusted file
// is an error.
std::vector<entry> load_system(const std::string& file);

// A registry file and its entries.
struct listing {
    std::string file;
    std::vector<entry> entries;
};

// The registries a host creates classes from, in order: the user's, then the system's when there is
// one (each with no entries when its file does not exist).
std::vector<listing> load_all();

// Whether e, of a later registry, gives way to an entry of an earlier one: one there has its class id
// or its ProgID.
bool hidden_by(const entry& e, const std::vector<entry>& earlier);

// Adds the entry, replacing any entry of the same class id or ProgID. Creates the file and its
// directories when needed. A field holding a line break, or a library path that is not absolute, is an
// error and changes nothing; so is every failure: the file is then as it was.
void add(const std::string& file, const entry& e);

// Removes the entry of that class id; false when there was none.
bool remove(const std::string& file, const twc_guid& class_id);

// The text of a registry file holding the entries, under a comment line saying what the file is;
// reading the file gives them back.
std::string serialise(const std::vector<entry>& entries,
                      std::string_view comment =
                          "Control classes registered for this user. Written by the "
                          "libraries' DllRegisterServer.");

// The entry registered under a ProgID (compared without regard to ASCII case).
std::optional<entry> find(const std::vector<entry>& entries, std::string_view prog_id);
// The entry registered under a ProgID in the registries (as load_all gives them): the first one's,
// else a later one's that no earlier one hides; and the file it is in.
std::optional<std::pair<entry, std::string>> find(const std::vector<listing>& registries,
                                                  std::string_view prog_id);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back.
std::string format_guid(const twc_guid& id);
std::optional<twc_guid> parse_guid(std::string_view text);

}  // namespace platform::registry
