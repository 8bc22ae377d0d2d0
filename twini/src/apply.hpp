// Running a command on its file: its operations as requests of one session (penmoor's session.hpp), in
// the order given, one change of the file (all or nothing). The core refuses what would damage the file
// (rules.hpp); twini gives the refusal as exit status 3 with the core's reason. What twini decides itself
// is how it answers and prints:
// - a section or key not found is exit status 1, and so is a set that --existing keeps from adding;
// - get KEY prints the value as it stands (the lines of a value of several joined by line feeds); get of
//   a section prints its settings as "name=value" lines, a further line of a value on a line of its own
//   that begins with a tab; list prints each name once, a line each. A value or name that holds a lone
//   LF where LF does not end lines is not printed (exit 3): its text after the LF would look like a line
//   of its own;
// - output is collected and printed only when the whole command has succeeded.
#pragma once

#include <string>

#include "command.hpp"
#include "output.hpp"

namespace twini {

struct result {
    int status = done;
    output out;            // for standard output; empty unless the command succeeded
    std::string message;   // one line for standard error, "FILE: reason"; empty when the command succeeded
    bool changed = false;  // the file was changed
};

result run(const command& c);

}  // namespace twini
