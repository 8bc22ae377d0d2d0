// How an operation of the writer control reads or changes the bound file: a transaction (transaction.hpp)
// of one pass, the core's verdicts on what the pass found (rules.hpp), and the events the method raises
// (events.hpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "events.hpp"
#include "rules.hpp"
#include "stages.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/types.hpp"
#include "text_set.hpp"
#include "transaction.hpp"

namespace penmoor {

// How an operation reaches the sinks of its control.
struct edit_events {
    std::function<void(std::int16_t)> State;
    std::function<void()> hasWrite;
};

namespace detail {

// A batch of edits (penmoor::batch): one transaction of several runs, whose lock is held from the batch's
// start to its end.
struct batch_state {
    batch_state(const std::string& path, const platform::format& format)
        : changes(path, format, transaction::mode::batch) {}
    transaction changes;
};

}  // namespace detail

// The file an operation works on: the bound path (null while unbound), the control's batch (null outside
// one), its format; and the control's events.
struct edit_target {
    const std::string* path;
    detail::batch_state* batch;
    platform::format format;
    edit_events raise;
};

// Makes the stage of an operation, over the file its pass reads, whose character set is `text`; an edit
// on the guess given (stages::guess).
using stage_maker = std::function<std::unique_ptr<section_stage>(platform::file& source, text_set& text,
                                                                 const stages::guess& g)>;

// A lookup: gives the bound file (inside a batch, what the batch made so far) to read(t), which reads
// it through read_through() and raises its events while it is open. Nothing, with nothing read, while
// unbound.
std::optional<bool> look(const edit_target& target, const std::function<bool(transaction& t)>& read);
// One pass over the file through the stage, which copies nothing.
void read_through(transaction& t, engine::stage& reading);
// Raises the codes of what method m reports, bound or not, from what its pass found; returns its result.
bool reported(const edit_target& target, method m, bool bound, const findings& found);

// What an edit's verdict needs: what the edit does, and the names it is about (UTF-8, for messages).
struct edit_subject {
    rules::edit what;
    std::string section;
    std::optional<std::string> key;
};

// One editing operation of a control, from its start to its end:
// - no file bound: raises the method's codes for that, then hasWrite, and touches nothing;
// - otherwise a transaction of one run of the stage over the file, locked; the core refuses what the pass
//   found would damage the file (run-time error 5, no event). When the method reports a change, the copy
//   is sealed, the codes are raised, and the copy replaces the file (which keeps its owner, group, mode
//   and attributes); otherwise it is abandoned and the codes raised. A file that another program
//   replaced meanwhile is edited afresh, from the lock on. Once the lock is released: a hasWrite for
//   each deletion the operation stands for (a handler sees the file as the whole operation left it),
//   then the last one;
// - inside a batch, the run reads what the batch's edits made so far, and what it makes is what the next
//   one reads and what the batch's commit puts in the file's place.
// Returns whether the file was changed; a failure ends it with a run-time error and no further event.
platform::boolean edit(const edit_target& target, method m, const edit_subject& subject,
                       const stage_maker& make);

}  // namespace penmoor
