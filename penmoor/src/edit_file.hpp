// How an edit changes the bound file: under its lock, in one pass that decides and copies at once, and
// through the platform's replace sequence, so that the file is never missing, partial or another's.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_writer.hpp"
#include "tarnwick/files/lock.hpp"
#include "tarnwick/files/replace.hpp"
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

// Reads the file once from `in`, whose lines end as `ends` says, writing its new content to `out` as it
// goes (whose lines end the same way, unless it copies bytes as they stand).
using copy_pass =
    std::function<outcome(platform::file& in, platform::line_writer& out, platform::line_ends ends)>;

enum class copying {
    lines,  // the copy's lines end as the file's line ends say, whatever ended them before
    bytes,  // what is copied is copied byte for byte
};

// How an edit reaches the sinks of its control.
struct edit_events {
    std::function<void(std::int16_t)> State;
    std::function<void()> hasWrite;
};

namespace detail {

// A batch of edits (penmoor::batch): the file's lock, held from the batch's start to its end (declared
// first, so that it is released last), and the content the edits made so far, in a file of no name
// beside the file, until commit puts it in the file's place.
struct batch_state {
    explicit batch_state(const std::string& path) : lock(path) {}
    platform::locked_file lock;
    platform::file latest;
    // What the next edit or lookup reads.
    platform::file& current() { return latest.is_open() ? latest : lock.file(); }
};

}  // namespace detail

// The file an edit works on: the bound path (null while unbound), the control's batch (null outside
// one) and its LineEnds mode; and the control's events.
struct edit_target {
    const std::string* path;
    detail::batch_state* batch;
    std::int16_t line_ends;
    edit_events raise;
};

// One editing operation of a control, from its start to its end:
// - no file bound: raises the codes `unbound` (those of the lookups the operation stands for, then its
//   own), then hasWrite, and touches nothing;
// - otherwise locks the file (platform::locked_file), runs the pass into a copy and, when it holds a
//   change, puts the copy in the file's place (platform::replacement): the file keeps its owner, group,
//   mode and attributes, and one with more than one hard link is refused with run-time error 70 rather
//   than split. The pass's codes are raised while the lock is held: once the copy is sealed, before it
//   replaces the file, or after an unchanged copy is removed. A file that another program replaced
//   meanwhile (platform::file_moved) is edited afresh, from the lock on. Once the lock is released: a
//   hasWrite for each deletion the operation stands for (a handler sees the file as the whole operation
//   left it), then the last one;
// - inside a batch, the lock is the batch's, the pass reads what the batch's edits made so far and
//   writes a file of no name, which becomes what the next one reads and what commit puts in the file's
//   place.
// Returns whether the file was changed; a failure ends it with a run-time error and no further event.
platform::boolean edit(const edit_target& target, std::initializer_list<std::int16_t> unbound, copying how,
                       const copy_pass& copy);

// Puts what a batch's edits made in the file's place, once, with one flush; nothing when they made
// nothing. Refuses a file with more than one hard link, as an edit does; a file that another program
// replaced during the batch is left as that program made it (run-time error 75).
void commit(detail::batch_state& batch);

}  // namespace penmoor
