// The stages that add a section or a setting, and the set of programs (change or add).
#include "editing.hpp"

namespace penmoor {
namespace {

using engine::dialect;
using engine::kind;
using engine::line;

// Exact dialect: whether l is a setting line whose name differs from `setting` only by blanks around it
// (a line whose "=" lies beyond its head is read on for its name).
bool is_near(line& l, std::string_view setting) {
    const auto& info = l.info();
    auto near = [&](std::string_view name) {
        return name != setting && platform::ini::trimmed(name) == platform::ini::trimmed(setting);
    };
    if (info.what == kind::setting && info.named) return near(info.name);
    if (info.what != kind::other || l.whole() || !l.holds_equals()) return false;
    std::string name;
    bool complete = false;
    l.each_piece([&](std::string_view piece) {
        if (complete) return;
        const std::size_t equals = piece.find('=');
        name.append(piece.substr(0, equals));
        complete = equals != std::string_view::npos;
    });
    return near(name);
}

class header_adder final : public common_editing {
  public:
    header_adder(dialect rules, std::string section, const stages::set_how& how = {},
                 const stages::guess& g = {})
        : common_editing(section_cursor(section, rules), 0),
          section_(std::move(section)),
          how_(how),
          guess_(g) {
        use(how.look);
        found_.header = cursor_.opened();
    }
    void start(engine::emitter& out) override {
        if (guess_.section_first) make_section(out, section_, std::nullopt);
    }
    void take(line&& l, engine::emitter& out) override {
        if (cursor_.step(l.info()).header) found_.header = true;
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (found_.header || how_.existing_only || guess_.section_first) return;
        // Where it goes first, the pass is made again for it.
        if (how_.section_first) better_ = stages::guess{1, 1, false, 0, true};
        append_section(out, section_, std::nullopt);
    }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return found_.header; }
    bool keeps_bytes() const override { return true; }
    std::optional<stages::guess> better_guess() const override { return better_; }

  private:
    std::string section_;
    stages::set_how how_;
    stages::guess guess_;
    std::optional<stages::guess> better_;
};

// The exact dialect's addSetting: the new line directly below the section's first header line, taken
// back (the copy abandoned) when the lookups find the setting.
class setting_adder final : public common_editing {
  public:
    setting_adder(stages::name section, std::string setting, std::string value)
        : common_editing(section_cursor(std::move(section), dialect::exact), setting.size()),
          setting_(std::move(setting)),
          value_(std::move(value)) {}
    void take(line&& l, engine::emitter& out) override {
        if (done_) {
            out.put(std::move(l));
            return;
        }
        const auto at = cursor_.step(l.info());
        if (!found_.header) {
            out.put(std::move(l));
            if (!at.header) return;
            found_.header = true;
            make_new(out, setting_, value_);
            found_.changed = true;
            return;
        }
        if (at.ends_lookup || cursor_.lookup_over()) {
            found_.setting = search::ended_by_header;
            done_ = true;
        } else if (at.lookup && is_setting_named(l, setting_)) {
            found_.setting = search::found;
            found_.changed = false;  // there already: the copy is abandoned
            done_ = true;
        } else if (at.lookup) {
            found_.near_key = found_.near_key || is_near(l, setting_);
        }
        out.put(std::move(l));
    }
    void finish(engine::emitter&) override {}
    bool waiting() const override { return !found_.header; }
    bool done() const override { return done_; }

  private:
    std::string setting_, value_;
    bool done_ = false;
};

// The common dialect's set, and its addSetting, over every occurrence of the section: changes the key's
// last line where its value differs (and drops the lines its old value went on over), adds a missing key
// after the last line of the section's last occurrence, and appends the section too where that is
// missing. set_existing adds nothing; add changes nothing and adds no section. Which line is the last,
// and which occurrence, is guessed (stages::guess) and checked at the end of the file.
class setter final : public common_editing {
  public:
    enum class mode { set, set_existing, add };

    setter(std::string section, std::string setting, std::string value, mode how, const stages::guess& g,
           const stages::set_how& extra = {})
        : common_editing(section_cursor(section, dialect::common), setting.size()),
          section_(std::move(section)),
          setting_(std::move(setting)),
          value_(std::move(value)),
          mode_(how),
          guess_(g),
          uncomment_(extra.uncomment && how != mode::add),
          section_first_(extra.section_first && how == mode::set) {
        use(extra.look);
        if (extra.look.fold_case) fold_case();
        found_.header = cursor_.opened();  // the section "" is there from the start
        if (found_.header) begin_occurrence();
    }
    void start(engine::emitter& out) override {
        if (!guess_.section_first) return;
        // The missing section goes first, before the file's first line.
        added_ = true;
        make_section(out, section_, std::pair{setting_, value_});
    }
    void take(line&& l, engine::emitter& out) override {
        if (checking_ && settle(l, out)) return;
        if (dropped_with_value(l, out)) return;
        if (uncomment_ && uncommented(l, out)) return;
        if (held(l, out)) return;
        const auto at = cursor_.step(l.info());
        if (at.header) {
            put_run(out);
            found_.header = true;
            begin_occurrence();
            note_open_value(l);
            out.put(std::move(l));
            return;
        }
        if (at.ends_occurrence) end_occurrence(out, &l);
        if (!at.lookup) {
            put_run(out);
            out.put(std::move(l));
            return;
        }
        note_spacing(l);
        note_open_value(l);
        if (names_key(l, setting_) && ++seen_ == guess_.key_line && mode_ != mode::add && !added_) {
            changed_line_ = seen_;
            found_.line_feed = holds_line_feed(l);
            put_run(out);
            if (same_first_line(l)) {
                // The same value if its continuation lines are the value's further lines: the lines
                // after it tell.
                key_line_ = out.hold(std::move(l));
                checking_ = true;
            } else {
                replace(out, l);
            }
            return;
        }
        put_run(out);
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (checking_) settle_at_end(out);
        if (!found_.header) {
            if (mode_ != mode::set || added_) return;
            if (section_first_) better_ = stages::guess{1, 1, false, 0, true};
            append_section(out, section_, std::pair{setting_, value_});
            return;
        }
        const bool inside = cursor_.in_lookup();
        if (inside) end_occurrence(out, nullptr);
        put_run(out);
        found_.setting = seen_ > 0 ? search::found : inside ? search::end_of_file : search::ended_by_header;
        // Whether the guess held: the line changed was the last of the key, and nothing was added where
        // a line of it came later; a key added after the last occurrence.
        if (seen_ > 0) {
            const bool right = mode_ == mode::add ? !added_ : changed_line_ == seen_ && !added_;
            if (!right) better_ = stages::guess{seen_, occurrences_, true};
        } else if (mode_ != mode::set_existing) {
            // Missing: added after the last occurrence, or where a commented-out line of it stands.
            const stages::guess missing{1, occurrences_, false, uncomment_ && commented_ > 0 ? 1u : 0u};
            if (!(missing == guess_)) better_ = missing;
        }
    }
    // Lines between the section's occurrences may go by unseen, once nothing is held.
    bool waiting() const override {
        return !cursor_.in_lookup() && !checking_ && !dropping_value_ && run_.empty();
    }
    bool done() const override { return false; }
    std::optional<stages::guess> better_guess() const override { return better_; }

  private:
    void begin_occurrence() {
        ++occurrences_;
        holding_ = true;
        open_ = false;
    }
    // The occurrence ends (before next, a line that begins another section, or at the end of the file): a
    // missing key goes after its last line where it is the one guessed to be the last.
    void end_occurrence(engine::emitter& out, const line* next) {
        const bool adds = mode_ != mode::set_existing && !guess_.present && seen_ == 0 && !added_ &&
                          occurrences_ == guess_.occurrence && guess_.comment == 0;
        if (adds) {
            added_ = true;
            const std::string indent = indent_before(next);
            make_new(out, setting_, value_, &indent);
            found_.changed = true;
        }
        put_run(out);
        holding_ = false;
    }
    // The value set, line by line.
    std::vector<std::string_view> value_lines() const {
        std::vector<std::string_view> lines;
        const std::string_view v = value_;
        for (std::size_t at = 0;;) {
            const std::size_t stop = std::min(v.find('\n', at), v.size());
            lines.push_back(v.substr(at, stop - at));
            if (stop == v.size()) return lines;
            at = stop + 1;
        }
    }
    // Whether the key line's own text is the first line of the value set (a long line never is).
    bool same_first_line(line& l) {
        expected_ = value_lines();
        matched_ = 1;
        blanks_ = 0;
        inside_ = 0;
        return holds_first_line(l, value_);
    }
    void replace(engine::emitter& out, const line& l) {
        make_replaced(out, l, setting_, value_);
        found_.changed = true;
        dropping_value_ = true;
    }
    // The key line, whose own text is the value's first line, stays as it is; the value's further lines
    // go on new continuation lines, and the old ones go.
    void replace_rest(engine::emitter& out, const line* next = nullptr) {
        // The further lines indented as the old value's first continuation line (among those held, or
        // next) was, where it had one.
        std::optional<std::string> indent;
        for (const line& r : run_) {
            if (!r.info().continuation) continue;
            indent.emplace(r.head().substr(0, r.info().indent));
            break;
        }
        if (!indent && next && next->info().continuation)
            indent.emplace(next->head().substr(0, next->info().indent));
        put_with_further_lines(out, std::move(key_line_), value_, indent);
        found_.changed = true;
        dropping_value_ = true;
    }
    // After a key line whose own text is the value's first line: its continuation lines (with the blank
    // lines between them, as empty lines) must be the value's further lines, all of them, for the value
    // to be the same. They are held, with the blank and comment lines among them, until that is known;
    // the value is replaced at the first that differs, or at its end when lines are missing. True when l
    // was taken.
    bool settle(line& l, engine::emitter& out) {
        if (is_blank_or_comment(l)) {
            if (l.info().what == engine::kind::blank) ++blanks_;
            run_.push_back(out.hold(std::move(l)));
            return true;
        }
        if (!l.info().continuation) {
            settle_at_end(out);
            return false;
        }
        bool same = matched_ + blanks_ < expected_.size();
        for (std::size_t i = 0; same && i < blanks_; ++i) same = expected_[matched_ + i].empty();
        if (same) {
            // A line longer than its head is read whole for it.
            std::string whole;
            if (!l.whole()) l.each_piece([&](std::string_view piece) { whole.append(piece); });
            same = expected_[matched_ + blanks_] == platform::ini::trimmed(l.whole() ? l.head() : whole);
        }
        if (same) {
            matched_ += blanks_ + 1;
            blanks_ = 0;
            run_.push_back(out.hold(std::move(l)));
            inside_ = run_.size();
            return true;
        }
        checking_ = false;
        replace_rest(out, &l);
        drop_held(run_.size());  // the old value's lines, and the blank and comment lines among them
        return dropped_with_value(l, out);
    }
    // The old value ended: the same value when every line of the new one was matched; otherwise it is
    // replaced, and its continuation lines (with the blank and comment lines among them) go.
    void settle_at_end(engine::emitter& out) {
        checking_ = false;
        if (matched_ == expected_.size()) {
            out.put(std::move(key_line_));
        } else {
            replace_rest(out);
            dropping_value_ = false;
            drop_held(inside_);
        }
        put_run(out);
    }
    // Drops the first `count` lines held, noting one that holds a line feed as a line the edit changed.
    void drop_held(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            found_.line_feed = found_.line_feed || holds_line_feed(run_[i]);
        run_.erase(run_.begin(), run_.begin() + static_cast<std::ptrdiff_t>(count));
    }
    // A comment line of the section that holds a line of the key commented out (";name = value",
    // "# name=value"): counted, and where it is the one guessed, replaced by the key's line, indented and
    // spaced as it is. True when l was taken.
    bool uncommented(line& l, engine::emitter& out) {
        if (l.info().what != kind::comment || !cursor_.in_lookup() || !l.whole()) return false;
        const std::string_view text = l.head();
        const std::size_t indent = l.info().indent;
        std::size_t at = text.find_first_not_of(";#", indent);
        at = at == std::string_view::npos ? text.size() : text.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) return false;
        const std::string_view rest = text.substr(at);
        const platform::ini::line_shape shape = platform::ini::shape_of(rest);
        if (shape.what != kind::setting || !same_name(shape.name)) return false;
        if (++commented_ != guess_.comment || added_ || seen_ > 0) return false;
        put_run(out);
        std::string head(text.substr(0, indent));
        const auto value_at = static_cast<std::size_t>(shape.value.data() - rest.data());
        head += rest.substr(0, value_at);
        // ";name =" has no blank after its delimiter to keep: one like the blank before it.
        if (shape.value.empty() && head.size() >= 2 && platform::ini::is_blank(head[head.size() - 2]))
            head += ' ';
        make_setting(out, head, value_, text.substr(0, indent));
        added_ = true;
        found_.changed = true;
        return true;
    }
    bool same_name(std::string_view name) const {
        return look().fold_case ? same_but_case(name, setting_) : name == setting_;
    }
    // Whether a value is still open at the line after l, and how deep its setting line is indented.
    void note_open_value(const line& l) {
        const auto& info = l.info();
        if (info.continuation) return;
        open_ = info.what == kind::setting;
        if (open_) open_indent_.assign(l.head().substr(0, info.indent));
    }
    // The new line's indentation: the first setting's, but no deeper than the setting whose value is open
    // before it (it would join that value) and no shallower than the line after it, next (which would
    // join the new value).
    std::string indent_before(const line* next) const {
        std::string indent = new_indent();
        if (open_ && indent.size() > open_indent_.size()) indent = open_indent_;
        if (next && next->info().indent > indent.size())
            indent.assign(next->head().substr(0, next->info().indent));
        return indent;
    }

    std::string section_, setting_, value_;
    mode mode_;
    stages::guess guess_;
    std::optional<stages::guess> better_;
    std::size_t seen_ = 0;          // the key's lines so far
    std::size_t occurrences_ = 0;   // the section's occurrences so far
    std::size_t changed_line_ = 0;  // which line of the key the set looked at (0: none)
    bool uncomment_;
    bool section_first_;
    std::size_t commented_ = 0;  // the commented-out lines of the key so far
    bool added_ = false;
    bool open_ = false;  // a setting's value may go on over the next line
    std::string open_indent_;
    bool checking_ = false;  // key_line_ holds a key line of the value's first line, its value not yet seen
    line key_line_;
    std::vector<std::string_view> expected_;  // the value set, line by line
    std::size_t matched_ = 0;                 // its lines matched so far
    std::size_t blanks_ = 0;                  // blank lines since the last line matched
    std::size_t inside_ = 0;                  // the held lines up to the last continuation line matched
};

// The exact dialect's set: changes the key's first line in the section's first part (up to the next line
// that begins a section) where its value differs, adds the key directly below the section's first header
// line where the lookups find it nowhere, and appends the section where it is missing. The lines of the
// section are held after its header line until it is known which. A key that the lookups find only after
// a repeat of the header line cannot be changed (findings::beyond_repeat); a key whose name differs from
// one there only by the blanks around it is noted (findings::near_key).
class exact_setter final : public common_editing {
  public:
    exact_setter(std::string section, std::string setting, std::string value, bool existing_only)
        : common_editing(section_cursor(section, dialect::exact), setting.size()),
          section_(std::move(section)),
          setting_(std::move(setting)),
          value_(std::move(value)),
          existing_only_(existing_only) {}
    void take(line&& l, engine::emitter& out) override {
        if (done_) {
            out.put(std::move(l));
            return;
        }
        const auto at = cursor_.step(l.info());
        if (!found_.header) {
            found_.header = at.header;
            out.put(std::move(l));
            return;
        }
        if (at.ends_lookup || cursor_.lookup_over()) {
            found_.setting = search::ended_by_header;
            decide_missing(out);
            out.put(std::move(l));
            return;
        }
        if (at.lookup && is_setting_named(l, setting_)) {
            found_.setting = search::found;
            found_.line_feed = holds_line_feed(l);
            release(out);
            done_ = true;
            if (l.whole() && l.head().substr(l.info().value_at) == value_) {
                out.put(std::move(l));
            } else if (at.first) {
                make_new(out, setting_, value_);
                found_.changed = true;
            } else {
                found_.beyond_repeat = true;
                out.put(std::move(l));
            }
            return;
        }
        if (at.lookup) found_.near_key = found_.near_key || is_near(l, setting_);
        held_.push_back(out.hold(std::move(l)));
    }
    void finish(engine::emitter& out) override {
        if (!found_.header) {
            if (!existing_only_) append_section(out, section_, std::pair{setting_, value_});
            return;
        }
        if (!done_) decide_missing(out);
    }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return done_; }

  private:
    void decide_missing(engine::emitter& out) {
        if (!existing_only_) {
            make_new(out, setting_, value_);
            found_.changed = true;
        }
        release(out);
        done_ = true;
    }
    void release(engine::emitter& out) {
        for (line& h : held_) out.put(std::move(h));
        held_.clear();
    }

    std::string section_, setting_, value_;
    bool existing_only_;
    bool done_ = false;
    std::vector<line> held_;
};

}  // namespace

std::unique_ptr<section_stage> stages::add_header(dialect rules, std::string section) {
    return std::make_unique<header_adder>(rules, std::move(section));
}

std::unique_ptr<section_stage> stages::add_header(dialect rules, std::string section, const set_how& how,
                                                  const guess& g) {
    return std::make_unique<header_adder>(rules, std::move(section), how, g);
}

std::unique_ptr<section_stage> stages::add_setting(dialect rules, name section, std::string setting,
                                                   std::string value, const guess& g) {
    if (rules == dialect::exact) {
        return std::make_unique<setting_adder>(std::move(section), std::move(setting), std::move(value));
    }
    if (!section) return find_setting(rules, std::nullopt, std::move(setting), nullptr);
    return std::make_unique<setter>(std::move(*section), std::move(setting), std::move(value),
                                    setter::mode::add, g);
}

std::unique_ptr<section_stage> stages::set(dialect rules, std::string section, std::string setting,
                                           std::string value, const set_how& how, const guess& g) {
    if (rules == dialect::exact) {
        return std::make_unique<exact_setter>(std::move(section), std::move(setting), std::move(value),
                                              how.existing_only);
    }
    return std::make_unique<setter>(std::move(section), std::move(setting), std::move(value),
                                    how.existing_only ? setter::mode::set_existing : setter::mode::set, g,
                                    how);
}

}  // namespace penmoor
