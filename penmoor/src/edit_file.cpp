#include "edit_file.hpp"

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {
namespace {

// Runs the pass from `in` into `copy`; what it found, the change flushed to the copy.
outcome run_pass(platform::file& in, platform::file& copy, copying how, std::int16_t mode,
                 const copy_pass& pass) {
    const platform::line_ends ends = platform::line_ends_by_setting(mode, in);
    platform::buffer_lease buffer;
    platform::line_writer out = how == copying::bytes
                                    ? platform::line_writer::exact(copy, buffer.span(), ends)
                                    : platform::line_writer(copy, buffer.span(), ends);
    outcome found = pass(in, out, ends);
    if (found.change) out.flush();
    return found;
}

void raise_all(const outcome& found, const std::function<void(std::int16_t)>& raise) {
    for (const std::int16_t code : found.codes) raise(code);
}

// An edit inside a batch: from what the batch made so far into a file of no name.
outcome edit_in_batch(detail::batch_state& batch, std::int16_t mode, copying how, const copy_pass& pass,
                      const std::function<void(std::int16_t)>& raise) {
    platform::file next = batch.lock.where().scratch();
    const outcome found = run_pass(batch.current(), next, how, mode, pass);
    if (found.change) batch.latest = std::move(next);
    raise_all(found, raise);
    return found;
}

// The locked part of an edit: the pass, the replacement and the pass's codes.
outcome edit_locked(const edit_target& target, copying how, const copy_pass& pass,
                    const std::function<void(std::int16_t)>& raise) {
    if (target.batch) return edit_in_batch(*target.batch, target.line_ends, how, pass, raise);
    for (;;) {
        platform::locked_file lock(*target.path);
        platform::replacement copy(lock.where(), &lock.file());
        const outcome found = run_pass(lock.file(), copy.copy(), how, target.line_ends, pass);
        if (!found.change) {
            copy.abandon();
            raise_all(found, raise);
            return found;
        }
        copy.seal();
        raise_all(found, raise);
        try {
            copy.publish();
            return found;
        } catch (const platform::file_moved&) {
            // Another program put a file of its own there: the edit applies to that one.
        }
    }
}

}  // namespace

platform::boolean edit(const edit_target& target, std::initializer_list<std::int16_t> unbound, copying how,
                       const copy_pass& copy) {
    const edit_events& raise = target.raise;
    if (target.path == nullptr) {
        for (const std::int16_t code : unbound) raise.State(code);
        raise.hasWrite();
        return platform::False;
    }
    const outcome done = edit_locked(target, how, copy, raise.State);
    if (done.change) {
        for (int i = 0; i < done.deletions; ++i) raise.hasWrite();
    }
    raise.hasWrite();
    return done.change ? platform::True : platform::False;
}

void commit(detail::batch_state& batch) {
    if (!batch.latest.is_open()) return;
    platform::replacement copy(batch.lock.where(), &batch.lock.file());
    copy.copy().copy_from(batch.latest);
    copy.seal();
    copy.publish();
    batch.latest = platform::file();
}

}  // namespace penmoor
