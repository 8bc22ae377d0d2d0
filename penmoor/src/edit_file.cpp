#include "edit_file.hpp"

#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {
namespace {

void raise_codes(const edit_target& target, const report& r) {
    for (const std::int16_t code : r.codes) target.raise.State(code);
}

struct edited {
    bool changed = false;
    int deletions = 0;  // the deletions of single settings that deleteHeader stands for
};

// The run of an edit in a transaction: the pass, the verdict, the codes; the commit outside a batch.
edited run_edit(transaction& t, const edit_target& target, method m, const edit_subject& subject,
                const stage_maker& make) {
    // The pass, again on a better guess where the edit's proved wrong.
    stages::guess g;
    auto s = make(t.current(), t.text(), g);
    for (;;) {
        engine::stage* const one[] = {s.get()};
        t.run(one, true, s->keeps_bytes());
        const auto better = s->better_guess();
        if (!better || *better == g) break;
        t.keep(false);
        g = *better;
        s = make(t.current(), t.text(), g);
    }
    const findings& found = s->found();
    rules::check_edit(
        subject.what, found, t.format(), t.ends(),
        {subject.section, subject.key ? std::optional<std::string_view>(*subject.key) : std::nullopt});
    const report r = events_of(m, true, found);
    // The lines written end as chosen: against the file's own (as a batch found it), refused.
    if (r.result) rules::check_line_ends(t.format(), t.found());
    t.keep(r.result);
    if (!r.result) {
        raise_codes(target, r);
        return {};
    }
    if (target.batch) {
        raise_codes(target, r);
    } else {
        t.commit([&] { raise_codes(target, r); });
    }
    return {true, found.deletions};
}

}  // namespace

std::optional<bool> look(const edit_target& target, const std::function<bool(transaction& t)>& read) {
    if (target.path == nullptr) return std::nullopt;
    if (target.batch) return read(target.batch->changes);
    transaction t(*target.path, target.format, transaction::mode::read);
    return read(t);
}

void read_through(transaction& t, engine::stage& reading) {
    engine::stage* const one[] = {&reading};
    t.run(one, false, false);
}

bool reported(const edit_target& target, method m, bool bound, const findings& found) {
    const report r = events_of(m, bound, found);
    raise_codes(target, r);
    return r.result;
}

platform::boolean edit(const edit_target& target, method m, const edit_subject& subject,
                       const stage_maker& make) {
    if (target.path == nullptr) {
        raise_codes(target, events_of(m, false, {}));
        target.raise.hasWrite();
        return platform::False;
    }
    const edited done = target.batch
                            ? run_edit(target.batch->changes, target, m, subject, make)
                            : attempt(*target.path, target.format, transaction::mode::edit, {},
                                      [&](transaction& t) { return run_edit(t, target, m, subject, make); });
    if (done.changed) {
        for (int i = 0; i < done.deletions; ++i) target.raise.hasWrite();
    }
    target.raise.hasWrite();
    return done.changed ? platform::True : platform::False;
}

}  // namespace penmoor
