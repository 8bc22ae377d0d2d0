#include "edit_file.hpp"

#include "engine.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {
namespace {

engine::pass_rules rules_for(const edit_target& target, platform::file& source, text_set& text,
                             bool keeps_bytes) {
    return {target.rules, platform::line_ends_by_setting(target.line_ends, source), keeps_bytes,
            text.may_have_byte_order_mark()};
}

// Runs the stage from `in` into `out`.
void run(const edit_target& target, platform::file& in, text_set& text, platform::file& out,
         section_stage& s) {
    engine::pass p(in, rules_for(target, in, text, s.keeps_bytes()), &out);
    engine::stage* const stages[] = {&s};
    p.run(stages);
}

void raise_codes(const edit_target& target, const report& r) {
    for (const std::int16_t code : r.codes) target.raise.State(code);
}

struct edited {
    bool changed = false;
    int deletions = 0;  // the deletions of single settings that deleteHeader stands for
};

// The locked part of an edit: the pass, the replacement and the codes.
edited edit_locked(const edit_target& target, method m, const stage_maker& make) {
    if (detail::batch_state* batch = target.batch) {
        platform::file next = batch->lock.where().scratch();
        text_set text(target.encoding, &batch->current());
        const auto s = make(batch->current(), text);
        run(target, batch->current(), text, next, *s);
        const report r = events_of(m, true, s->found());
        if (r.result) batch->latest = std::move(next);
        raise_codes(target, r);
        return {r.result, s->found().deletions};
    }
    for (;;) {
        platform::locked_file lock(*target.path);
        text_set text(target.encoding, &lock.file());
        const auto s = make(lock.file(), text);
        platform::replacement copy(lock.where(), &lock.file());
        run(target, lock.file(), text, copy.copy(), *s);
        const report r = events_of(m, true, s->found());
        if (!r.result) {
            copy.abandon();
            raise_codes(target, r);
            return {};
        }
        copy.seal();
        raise_codes(target, r);
        try {
            copy.publish();
            return {true, s->found().deletions};
        } catch (const platform::file_moved&) {
            // Another program put a file of its own there: the edit applies to that one.
        }
    }
}

}  // namespace

std::optional<bool> look(const edit_target& target,
                         const std::function<bool(platform::file& source, text_set& text)>& read) {
    if (target.path == nullptr) return std::nullopt;
    platform::file opened = target.batch ? platform::file() : platform::open_read(*target.path);
    platform::file& source = target.batch ? target.batch->current() : opened;
    text_set text(target.encoding, &source);
    return read(source, text);
}

void read_through(const edit_target& target, platform::file& source, text_set& text, engine::stage& reading) {
    engine::pass p(source, rules_for(target, source, text, false));
    engine::stage* const stages[] = {&reading};
    p.run(stages);
}

bool reported(const edit_target& target, method m, bool bound, const findings& found) {
    const report r = events_of(m, bound, found);
    raise_codes(target, r);
    return r.result;
}

platform::boolean edit(const edit_target& target, method m, const stage_maker& make) {
    if (target.path == nullptr) {
        raise_codes(target, events_of(m, false, {}));
        target.raise.hasWrite();
        return platform::False;
    }
    const edited done = edit_locked(target, m, make);
    if (done.changed) {
        for (int i = 0; i < done.deletions; ++i) target.raise.hasWrite();
    }
    target.raise.hasWrite();
    return done.changed ? platform::True : platform::False;
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
