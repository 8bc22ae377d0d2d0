// What one call of twini asks for: the file, the operations on it in order, and the options; and how the
// command line says it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/files/format.hpp"

namespace twini {

// Exit statuses.
inline constexpr int done = 0;
inline constexpr int not_found = 1;  // a section or key that is not there, or --existing refusing to add it
inline constexpr int usage = 2;      // the command line is wrong; nothing was looked at
inline constexpr int failed = 3;     // the file system, or text that cannot be stored or read back
inline constexpr int changed_then_failed = 4;  // the change was made, then the output could not be written

// How get and list print (--format): plain, or as shell assignments, INI lines, or one line per
// setting that names its section.
enum class print_style { plain, sh, ini, lines };

enum class verb {
    get,    // a value (key given) or every "name=value" line of the section
    list,   // the section names (no section given) or the section's key names
    set,    // updates the key's line that counts or adds it (and the section); no key: adds the section
    del,    // deletes the key's lines in the section (key given) or the whole section
    merge,  // sets every setting of an INI fragment read from standard input (into the section, if given)
};

// One operation; its text is UTF-8 as given on the command line.
struct operation {
    verb what = verb::get;
    std::optional<std::string> section;  // absent for a list of the sections, and a merge without one
    std::optional<std::string> key;      // absent for a set of the section alone
    std::string value;                   // set; with --list, the item of a set or del
};

struct command {
    std::string file;  // the path as given; "-": standard input, an edit's result to standard output
    std::vector<operation> operations;
    bool existing = false;                   // set adds neither a section nor a key
    bool create = false;                     // a missing file is taken as empty, and an edit makes it
    print_style style = print_style::plain;  // how get and list print (--format)
    bool verbose = false;                    // say on standard error whether the file changed
    bool uncomment = false;  // set: a missing key takes the place of a commented-out line of it
    // --list: set adds the item its value gives to the list the key holds, del removes it; the separator.
    std::optional<std::string> list;
    int input = 0;  // where standard input is read from (merge, FILE "-")
    // Line ends, character set and dialect: by default as found, and the common dialect (--exact the
    // exact one).
    platform::format format{platform::line_ends_setting::as_found, platform::encoding::as_found,
                            platform::ini::dialect::common};
};

// What the command line asks for: a command to run, the help text, the version, or a usage error
// (message says what is wrong, in one line, without the program's name).
struct parsed {
    enum class kind { run, help, version, error } what = kind::error;
    command to_run;
    std::string message;
};

// Reads the arguments after the program's name:
//   [OPTION]... get FILE SECTION [KEY]     [OPTION]... list FILE [SECTION]
//   [OPTION]... set FILE SECTION KEY VALUE [OPTION]... del FILE SECTION [KEY]
//   [OPTION]... FILE OPERATION...  with OPERATION --get SECTION [KEY], --set SECTION KEY VALUE or
//                                  --del SECTION [KEY], applied in order as one change
// In the first forms an argument that begins with "-" is an option wherever it stands, up to "--", after
// which every argument is an operand. In the last form "--" may only come before FILE; after it, each
// operation takes the arguments that follow it as they are, whatever they begin with, and its optional
// KEY is the next argument unless that one is spelled as an option.
parsed parse(std::span<const std::string_view> arguments);

// The text of --help.
std::string_view help_text();

}  // namespace twini
