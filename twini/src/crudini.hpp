// twini under the name crudini: crudini's command line, answered by twini's engine.
//
//   crudini --set [OPTION]... FILE SECTION [KEY [VALUE]]
//   crudini --get [OPTION]... FILE [SECTION [KEY]]
//   crudini --del [OPTION]... FILE SECTION [KEY [ITEM]]
//   crudini --merge [OPTION]... FILE [SECTION]       (the fragment on standard input)
//
// Files read as crudini reads them: the common dialect with keys matched whatever their case, a line
// without "=" or ":" a key without a value, " ;" after a value the start of a comment, and the keys
// before the first header and those of [DEFAULT] one section, named "" or DEFAULT, whose keys every
// section's lookups fall back on. New lines are written as crudini writes them ("name = value", a new
// section after two blank lines). What twini refuses to do to a file it refuses here too (twini(1),
// CRUDINI COMMAND LINE, lists where the two differ).
#pragma once

#include <span>
#include <string_view>

namespace twini::crudini {

// Runs the command line (the arguments after the program's name): the exit status. Standard input,
// output and error are the process's.
int main(std::span<const std::string_view> arguments);

}  // namespace twini::crudini
