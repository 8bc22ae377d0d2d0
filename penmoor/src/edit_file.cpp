#include "edit_file.hpp"

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {
namespace {

void refuse_hard_links(const write_lock& lock) {
    if (lock.status().st_nlink > 1) {
        throw platform::runtime_error(platform::err::permission_denied,
                                      "'" + lock.target() + "' has " +
                                          std::to_string(lock.status().st_nlink) +
                                          " hard links: replacing it would leave the other names with the "
                                          "old content");
    }
}

// Runs the pass from `in` into the copy; true when the copy holds a change, flushed to it.
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

// The locked part of an edit: the pass, the replacement and the pass's codes.
outcome edit_locked(const edit_target& target, copying how, const copy_pass& pass,
                    const std::function<void(std::int16_t)>& raise) {
    std::optional<write_lock> own_lock;
    write_lock& lock = target.batch ? target.batch->lock : own_lock.emplace(*target.path);
    if (target.batch) target.batch->give_up_name();
    platform::file& in = target.batch ? target.batch->current() : lock.file();
    auto copy = std::make_unique<platform::replacement_copy>(lock.target());
    const outcome found = run_pass(in, copy->copy(), how, target.line_ends, pass);
    auto raise_all = [&] {
        for (const std::int16_t code : found.codes) raise(code);
    };
    if (!found.change) {
        copy->abandon();
    } else if (target.batch) {
        target.batch->latest = std::move(copy);
        target.batch->unnamed = platform::file();
    } else {
        refuse_hard_links(lock);
        copy->replace(&lock.status(), raise_all);
        return found;
    }
    raise_all();
    return found;
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
    if (batch.latest) {
        refuse_hard_links(batch.lock);
        batch.latest->replace(&batch.lock.status());
        batch.latest.reset();
        return;
    }
    if (!batch.unnamed.is_open()) return;
    // The content has no name: it goes into a copy of its own.
    refuse_hard_links(batch.lock);
    platform::replacement_copy copy(batch.lock.target());
    copy.copy().copy_from(batch.unnamed);
    copy.replace(&batch.lock.status());
    batch.unnamed = platform::file();
}

}  // namespace penmoor
