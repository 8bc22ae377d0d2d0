#include "session.hpp"

#include <fcntl.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/lock.hpp"
#include "tarnwick/files/place.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "text_set.hpp"

namespace penmoor::session {
namespace {

using engine::dialect;
using verb = request::verb;

bool edits(std::span<const request> requests) {
    return std::ranges::any_of(requests,
                               [](const request& r) { return r.what == verb::set || r.what == verb::del; });
}

// Gives each name once, in the order of first appearance.
class distinct final : public value_sink {
  public:
    explicit distinct(value_sink* out) : out_(out) {}
    void begin(std::string_view name) override {
        if (!out_ || !seen_.emplace(name).second) return;
        out_->begin(name);
        out_->end();
    }
    void piece(std::string_view) override {}
    void restart() override {
        seen_.clear();
        if (out_) out_->restart();
    }

  private:
    value_sink* out_;
    std::unordered_set<std::string> seen_;
};

// Gives what a request reads to its sink as UTF-8: bytes that are not ASCII as the file's character set
// says, found in the file when first needed.
class decoding final : public value_sink {
  public:
    decoding(value_sink* out, text_set& text) : out_(out), text_(text) {}
    void begin(std::string_view name) override { out_->begin(utf8(name)); }
    void piece(std::string_view bytes) override { out_->piece(utf8(bytes)); }
    void end() override { out_->end(); }
    void restart() override { out_->restart(); }

  private:
    std::string_view utf8(std::string_view bytes) {
        if (std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return bytes;
        converted_ = platform::codec::to_utf8(bytes, text_.get());
        return converted_;
    }
    value_sink* out_;
    text_set& text_;
    std::string converted_;
};

// The file a run reads: the file, locked where the run edits, or an empty stand-in for a missing one
// that --create lets be made.
class source {
  public:
    source(const std::string& path, const options& how, bool editing) : own_(platform::place::of(path)) {
        if (how.create && !own_.entry()) {
            opened_ = own_.scratch();
        } else if (editing) {
            lock_.emplace(path);
        } else {
            opened_ = own_.open(O_RDONLY);
        }
    }
    const platform::place& where() const { return lock_ ? lock_->where() : own_; }
    platform::file& file() { return lock_ ? lock_->file() : opened_; }
    platform::file* original() { return lock_ ? &lock_->file() : nullptr; }

  private:
    platform::place own_;
    std::optional<platform::locked_file> lock_;
    platform::file opened_;  // read only, or the empty stand-in
};

// One pass of stages from `in` (into `out` when there is one).
void run_pass(platform::file& in, platform::file* out, const engine::pass_rules& rules,
              std::span<section_stage* const> stages, std::span<engine::stage* const> others = {}) {
    engine::pass_rules these = rules;
    std::vector<engine::stage*> all;
    for (section_stage* s : stages) {
        these.exact_copy = these.exact_copy && s->keeps_bytes();
        all.push_back(s);
    }
    all.insert(all.end(), others.begin(), others.end());
    engine::pass p(in, these, out);
    p.run(all);
}

// The common dialect: every request one stage of one pass.
class common_run {
  public:
    common_run(std::span<request> requests, platform::file& in) {
        for (request& r : requests) {
            listers_.push_back(std::make_unique<distinct>(r.out));
            value_sink* names = listers_.back().get();
            switch (r.what) {
                case verb::get:
                    add(r.key ? stages::find_setting(dialect::common, r.section, r.key, r.out)
                              : stages::find_section(dialect::common, r.section, r.out));
                    break;
                case verb::list:
                    if (r.section) {
                        add(stages::find_section(dialect::common, r.section, names));
                    } else {
                        headers_.push_back(stages::headers(dialect::common,
                                                           [names](std::string_view n) { names->begin(n); }));
                        order_.push_back(headers_.back().get());
                        kinds_.push_back(nullptr);
                    }
                    break;
                case verb::set:
                    add(stages::set(*r.section, *r.key, r.value, r.existing_only));
                    break;
                case verb::del:
                    add(r.key ? stages::delete_setting(dialect::common, r.section, r.key, reach::lookup)
                              : stages::delete_header(dialect::common, r.section, in));
                    break;
            }
        }
    }

    void run(platform::file& in, platform::file* out, engine::pass_rules rules) {
        for (const section_stage* s : kinds_) {
            if (s) rules.exact_copy = rules.exact_copy && s->keeps_bytes();
        }
        engine::pass p(in, rules, out);
        p.run(order_);
    }

    std::vector<answer> answers(std::span<const request> requests) const {
        std::vector<answer> all;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            answer a;
            if (const section_stage* s = kinds_[i]) {
                const findings& f = s->found();
                a.section = f.header;
                a.key = f.setting == search::found;
                a.changed = f.changed;
                a.line_feed = f.line_feed;
                a.joins_value = f.joins_value;
            } else {
                a.section = true;
            }
            all.push_back(a);
        }
        return all;
    }

  private:
    void add(std::unique_ptr<section_stage> s) {
        order_.push_back(s.get());
        kinds_.push_back(s.get());
        owned_.push_back(std::move(s));
    }

    std::vector<std::unique_ptr<section_stage>> owned_;
    std::vector<std::unique_ptr<engine::stage>> headers_;
    std::vector<std::unique_ptr<distinct>> listers_;
    std::vector<engine::stage*> order_;
    std::vector<section_stage*> kinds_;  // per request; null for a list of the sections
};

// The exact dialect: each request the controls' own operations, a pass each, from the latest content
// into a file of no name.
class exact_run {
  public:
    exact_run(source& from, const engine::pass_rules& rules) : from_(from), rules_(rules) {}

    answer apply(request& r) {
        answer a;
        switch (r.what) {
            case verb::get:
            case verb::list:
                read(r, a);
                break;
            case verb::set:
                set(r, a);
                break;
            case verb::del:
                del(r, a);
                break;
        }
        return a;
    }

    // The content the requests made, if they changed anything.
    platform::file* latest() { return latest_.is_open() ? &latest_ : nullptr; }

  private:
    platform::file& current() { return latest_.is_open() ? latest_ : from_.file(); }

    // Reads the section as the lookups do: whether it is there, and the key's value when asked for.
    findings look(const request& r, value_sink* value) {
        auto s = r.key ? stages::find_setting(dialect::exact, r.section, r.key, value)
                       : stages::find_section(dialect::exact, r.section, value);
        section_stage* const one[] = {s.get()};
        run_pass(current(), nullptr, rules_, one);
        return s->found();
    }
    // Runs an edit from the latest content into the next; true when it changed something. found: where
    // to put what the edit found, when given.
    bool edit(std::unique_ptr<section_stage> s, findings* found = nullptr) {
        platform::file next = from_.where().scratch();
        section_stage* const one[] = {s.get()};
        run_pass(current(), &next, rules_, one);
        if (found) *found = s->found();
        if (!s->found().changed) return false;
        latest_ = std::move(next);
        return true;
    }

    void read(request& r, answer& a) {
        distinct names(r.out);
        if (r.what == verb::list && !r.section) {
            a.section = true;
            auto s = stages::headers(dialect::exact, [&](std::string_view n) { names.begin(n); });
            engine::stage* const one[] = {s.get()};
            run_pass(current(), nullptr, rules_, {}, one);
            return;
        }
        const findings f = look(r, r.what == verb::list ? &names : r.out);
        a.section = f.header;
        a.key = f.setting == search::found;
        a.line_feed = f.line_feed;
    }

    void set(request& r, answer& a) {
        value_text value;
        const findings f = look(r, &value);
        a.section = f.header;
        a.key = f.setting == search::found;
        a.line_feed = f.line_feed;
        if (!a.section || !a.key) {
            if (r.existing_only) return;
            if (!a.section) a.changed = edit(stages::add_header(dialect::exact, *r.section));
            a.changed = edit(stages::add_setting(dialect::exact, r.section, *r.key, r.value)) || a.changed;
            return;
        }
        if (value.text() == r.value) return;
        a.changed =
            edit(stages::update_setting(dialect::exact, r.section, *r.key, r.value, reach::first_occurrence));
        a.beyond_repeat = !a.changed;
    }

    void del(request& r, answer& a) {
        value_text value;
        const findings f = look(r, r.key ? &value : nullptr);
        a.section = f.header;
        a.key = f.setting == search::found;
        if (!r.key) {
            if (a.section) a.changed = edit(stages::delete_header(dialect::exact, r.section, current()));
            return;
        }
        a.line_feed = f.line_feed;
        if (!a.key) return;
        // Every line of the key goes, not only the first that the lookup read.
        findings deleted;
        a.changed =
            edit(stages::delete_setting(dialect::exact, r.section, r.key, reach::first_occurrence), &deleted);
        a.line_feed = a.line_feed || deleted.line_feed;
        a.beyond_repeat = !a.changed || look(r, nullptr).setting == search::found;
    }

    source& from_;
    engine::pass_rules rules_;
    platform::file latest_;
};

void restart(std::span<request> requests) {
    for (request& r : requests) {
        if (r.out) r.out->restart();
    }
}

}  // namespace

std::vector<answer> run(const std::string& path, const options& how, std::span<request> requests,
                        const std::function<bool(const std::vector<answer>&)>& accept) {
    const bool editing = edits(requests);
    for (;;) {
        source from(path, how, editing);
        text_set text(static_cast<std::int16_t>(how.text), &from.file());
        if (how.prepare) {
            const bool fixed = how.text != platform::encoding::as_found;
            how.prepare(fixed || !how.ascii_only ? text.get() : platform::encoding::utf8);
        }
        // What the requests read reaches their sinks as UTF-8.
        std::vector<std::unique_ptr<decoding>> decoders;
        std::vector<value_sink*> outs;
        for (request& r : requests) {
            outs.push_back(r.out);
            if (r.out) {
                decoders.push_back(std::make_unique<decoding>(r.out, text));
                r.out = decoders.back().get();
            }
        }
        const engine::pass_rules rules{how.rules, platform::line_ends_by_setting(how.line_ends, from.file()),
                                       true, text.may_have_byte_order_mark()};
        std::vector<answer> answers;
        platform::file* made = nullptr;
        std::optional<platform::replacement> copy;
        std::optional<exact_run> exact;
        if (how.rules == dialect::common) {
            common_run pass(requests, from.file());
            if (editing) copy.emplace(from.where(), from.original(), 0666);
            pass.run(from.file(), copy ? &copy->copy() : nullptr, rules);
            answers = pass.answers(requests);
        } else {
            exact.emplace(from, rules);
            for (request& r : requests) answers.push_back(exact->apply(r));
            made = exact->latest();
        }
        for (std::size_t i = 0; i < requests.size(); ++i) requests[i].out = outs[i];
        const bool changed = std::ranges::any_of(answers, [](const answer& a) { return a.changed; });
        if (!editing || !changed || !accept(answers)) {
            if (copy) copy->abandon();
            return answers;
        }
        if (!copy) {
            copy.emplace(from.where(), from.original(), 0666);
            copy->copy().copy_from(*made);
        }
        copy->seal();
        try {
            copy->publish();
            return answers;
        } catch (const platform::file_moved&) {
            // Another program put a file there (or made the missing one): the requests apply to that.
            restart(requests);
        }
    }
}

}  // namespace penmoor::session
