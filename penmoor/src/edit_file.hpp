// How an operation of the writer control reads or changes the bound file: a pass of the engine over it
// (engine.hpp), under the file's lock for an edit, through the platform's replace sequence, so that the
// file is never missing, partial or another's; and the events the method raises (events.hpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "events.hpp"
#include "stages.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/lock.hpp"
#include "tarnwick/files/types.hpp"
#include "text_set.hpp"

namespace penmoor {

// How an operation reaches the sinks of its control.
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

// The file an operation works on: the bound path (null while unbound), the control's batch (null outside
// one), its LineEnds and Dialect; and the control's events.
struct edit_target {
    const std::string* path;
    detail::batch_state* batch;
    std::int16_t line_ends;
    engine::dialect rules;
    std::int16_t encoding;
    edit_events raise;
};

// Makes the stage of an operation, over the file its pass reads, whose character set is `text`.
using stage_maker = std::function<std::unique_ptr<section_stage>(platform::file& source, text_set& text)>;

// A lookup: opens the bound file (inside a batch, what the batch made so far) and gives it to
// read(source, text), which reads it through read_through() and raises its events while it is open.
// Nothing, with nothing read, while unbound.
std::optional<bool> look(const edit_target& target,
                         const std::function<bool(platform::file& source, text_set& text)>& read);
// One pass over source through the stage, which copies nothing.
void read_through(const edit_target& target, platform::file& source, text_set& text, engine::stage& reading);
// Raises the codes of what method m reports, bound or not, from what its pass found; returns its result.
bool reported(const edit_target& target, method m, bool bound, const findings& found);

// One editing operation of a control, from its start to its end:
// - no file bound: raises the method's codes for that, then hasWrite, and touches nothing;
// - otherwise locks the file (platform::locked_file), runs the stage over it into a copy and, when the
//   method reports a change, puts the copy in the file's place (platform::replacement): the file keeps
//   its owner, group, mode and attributes, and one with more than one hard link is refused with
//   run-time error 70 rather than split. The codes are raised while the lock is held: once the copy is
//   sealed, before it replaces the file, or after an unchanged copy is removed. A file that another
//   program replaced meanwhile (platform::file_moved) is edited afresh, from the lock on. Once the lock is
//   released: a hasWrite for each deletion the operation stands for (a handler sees the file as the whole
//   operation left it), then the last one;
// - inside a batch, the lock is the batch's, the pass reads what the batch's edits made so far and
//   writes a file of no name, which becomes what the next one reads and what commit puts in the file's
//   place.
// Returns whether the file was changed; a failure ends it with a run-time error and no further event.
platform::boolean edit(const edit_target& target, method m, const stage_maker& make);

// Puts what a batch's edits made in the file's place, once, with one flush; nothing when they made
// nothing. Refuses a file with more than one hard link, as an edit does; a file that another program
// replaced during the batch is left as that program made it (run-time error 75).
void commit(detail::batch_state& batch);

}  // namespace penmoor
