// Running a command on its file through the writer control (penmoor::ini), in the control's terms:
// a section is read as its lookups read it, and every edit is one of its editing operations.
//
// - Before anything is looked at, every name and value is converted from UTF-8 to the file's character
//   set; text that is not UTF-8 or that the file cannot hold fails the command (status failed).
// - A command of reads only takes no lock and needs no write permission. A command with an edit runs
//   every operation in one batch (penmoor::batch): under the file's lock from the first lookup to the
//   end, each operation sees what the earlier ones made, and the file is replaced once, with one flush,
//   when all of them succeeded. The first operation that fails ends the command and leaves the file byte
//   for byte as it was; a file that --create made for the command is removed again. (A lone set of a
//   key that is there is the writer's own update, which is all of that in one step.)
// - get KEY: the value of the key's first line in the section; get: every setting line of the section,
//   as "name=value"; list: each section name, or each key name of the section, once, in the order of
//   first appearance. Output is collected and handed back only when the whole command succeeds.
// - set: a value equal to the one the lookups find already changes nothing; a different one replaces
//   the key's first line; a missing key is added directly below the section's first header line, and a
//   missing section is first appended at the end of the file. --existing makes either a refusal.
// - del KEY: every line of the key in the section goes; del: the section, its repeats and their
//   settings go (the writer then leaves two empty lines at the top of the file).
// - Where lines end as found and the file's end with CR LF, a lone LF stays inside a line; a set or del
//   of a key whose line (for set, the line it would change) holds one fails rather than take the text
//   after it, which looks like a line of its own, along with the edit. --crlf and --lf say which is meant.
// - In the common dialect (the default), a section name whose header line would read back as another
//   name is refused with the other text that would not read back, and a deletion that would make a line
//   it keeps go on with the value of a key before what it removes (an indented header after a deleted
//   section, a line after a deleted key below a value that ends with a backslash) fails.
// - The writer edits only a section's first part, up to the next line beginning with "[": a key that
//   the lookups find only after a repeat of the section's header line (or also there, for del) cannot
//   be changed, and the command fails rather than report a change it did not make.
#pragma once

#include <memory>
#include <string>

#include "command.hpp"
#include "tarnwick/files/file.hpp"

namespace twini {

struct result {
    int status = done;
    std::string out;       // for standard output; empty unless the command succeeded
    std::string message;   // one line for standard error, "FILE: reason"; empty when the command succeeded
    bool changed = false;  // the file was changed
    // Output beyond a megabyte, which comes before `out`: in a file of no name, so that memory stays small.
    std::shared_ptr<platform::file> spilled;
};

// Writes the output of r to fd: false, with errno set, when it cannot.
bool print(const result& r, int fd);

result run(const command& c);

}  // namespace twini
