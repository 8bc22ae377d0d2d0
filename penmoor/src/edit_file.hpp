// How an edit changes the bound file: under its lock, in one pass that decides and copies at once, and
// through the platform's replace sequence, so that the file is never missing, partial or another's.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_writer.hpp"
#include "tarnwick/files/types.hpp"

namespace penmoor {

// What an edit's pass found.
struct outcome {
    // The State codes that the edit raises, in order, those of the lookups it stands for included.
    std::vector<std::int16_t> codes;
    // The copy holds a change and replaces the file. Otherwise the file is left untouched.
    bool change = false;
    // deleteHeader: the deletions of single settings it stands for, each of which ends with hasWrite.
    int deletions = 0;
};

// Reads the locked file once from `in`, writing its new content to `out` as it goes.
using copy_pass = std::function<outcome(platform::file& in, platform::line_writer& out)>;

enum class copying {
    lines,  // the copy's lines end with CR LF, whatever ended them before
    bytes,  // what is copied is copied byte for byte
};

// How an edit reaches the sinks of its control.
struct edit_events {
    std::function<void(std::int16_t)> State;
    std::function<void()> hasWrite;
};

// One editing operation of a control, from its start to its end:
// - no file bound (path null): raises the codes `unbound` (those of the lookups the operation stands
//   for, then its own), then hasWrite, and touches nothing;
// - otherwise locks the file at path (write_lock), runs the pass into a temporary copy and, when it holds
//   a change, puts the copy in the file's place (platform::replace_file): the file keeps its owner,
//   group and mode, and one with more than one hard link is refused with run-time error 70 rather than
//   split. The pass's codes are raised while the lock is held: before the copy replaces the file, or
//   after an unchanged copy is removed. Once the lock is released: a hasWrite for each deletion the
//   operation stands for (a handler sees the file as the whole operation left it), then the last one.
// Returns whether the file was changed; a failure ends it with run-time error and no further event.
platform::boolean edit(const std::string* path, std::initializer_list<std::int16_t> unbound, copying how,
                       const copy_pass& copy, const edit_events& raise);

}  // namespace penmoor
