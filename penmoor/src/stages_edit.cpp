// The stages that add and change: a section, a setting, its value.
#include <vector>

#include "stages.hpp"
#include "values.hpp"

namespace penmoor {
namespace {

using engine::dialect;
using engine::kind;
using engine::line;

// Whether a line holds an LF (which then does not end lines), as far as its head shows.
bool holds_line_feed(const line& l) {
    return l.head().find('\n') != std::string_view::npos;
}

bool is_blank_or_comment(const line& l) {
    return l.info().what == kind::blank || l.info().what == kind::comment;
}

// What the common dialect's edits share: the blank and comment lines held until the next line says where
// they belong, the lines of a value being dropped, and the spacing of the section's first setting.
class common_editing : public section_stage {
  protected:
    using section_stage::section_stage;

    // Holds l when it is a blank or comment line and lines are being held; true if held.
    bool held(line& l, engine::emitter& out) {
        if (!holding_ || !is_blank_or_comment(l)) return false;
        run_.push_back(out.hold(std::move(l)));
        return true;
    }
    void put_run(engine::emitter& out) {
        for (line& r : run_) let_through(std::move(r), out);
        run_.clear();
    }
    // Lets l through; where a deletion watches, notes whether it would now join the value before it.
    void let_through(line&& l, engine::emitter& out) {
        if (watching_) found_.joins_value = watch_.joins(l) || found_.joins_value;
        out.put(std::move(l));
    }
    // In the common dialect, while the value of a dropped line goes on: its continuation lines and the
    // blank and comment lines between them go too. True when l was one of them (or held to tell). A line
    // that goes holds an LF is noted as one the edit changed.
    bool dropped_with_value(line& l, engine::emitter& out) {
        if (!dropping_value_) return false;
        if (l.info().continuation) {
            found_.line_feed = found_.line_feed || holds_line_feed(l);
            for (const line& r : run_) found_.line_feed = found_.line_feed || holds_line_feed(r);
            run_.clear();
            found_.changed = true;
            return true;
        }
        if (is_blank_or_comment(l)) {
            run_.push_back(out.hold(std::move(l)));
            return true;
        }
        dropping_value_ = false;
        return false;
    }
    // Remembers how the section's first setting line is spaced.
    void note_spacing(const line& l) {
        if (spaced_ || l.info().what != kind::setting || l.info().continuation) return;
        spaced_ = true;
        const std::string_view head = l.head();
        const std::string_view name = l.info().name;
        const auto name_at = static_cast<std::size_t>(name.data() - head.data());
        const std::size_t equals = head.find('=', name_at + name.size());
        indent_.assign(head.substr(0, name_at));
        before_equals_.assign(head.substr(name_at + name.size(), equals - name_at - name.size()));
        after_equals_.assign(head.substr(equals + 1, l.info().value_at - equals - 1));
    }
    // A new setting line, spaced as the section's first setting (indented by `indent` where given); an
    // empty name has no blanks before its "=", which would indent the line.
    std::string new_line(std::string_view setting, std::string_view value,
                         const std::string* indent = nullptr) const {
        if (cursor_.rules() == dialect::exact) return std::string(setting) + "=" + std::string(value);
        return (indent ? *indent : indent_) + std::string(setting) + (setting.empty() ? "" : before_equals_) +
               "=" + (value.empty() ? "" : after_equals_) + std::string(value);
    }
    const std::string& first_indent() const { return indent_; }
    // Line l (a setting line) with value instead of its own, its spacing kept.
    std::string replaced(const line& l, std::string_view setting, std::string_view value) const {
        if (cursor_.rules() == dialect::exact) return std::string(setting) + "=" + std::string(value);
        std::string text(l.head().substr(0, l.info().value_at));
        if (value.empty()) {
            while (!text.empty() && platform::ini::is_blank(text.back())) text.pop_back();
        }
        return text + std::string(value);
    }
    // Appends a section with its first setting at the end of the file, set off by a blank line.
    void append_section(engine::emitter& out, std::string_view section, std::string_view setting_line) {
        if (cursor_.rules() == dialect::exact) {
            // Byte for byte what addHeader appends, then the setting below the header line.
            if (!out.ends_unended()) out.make("");
            out.make("");
        } else if (!out.ends_blank()) {
            out.make("");
        }
        std::string header = "[";  // appended: "[" + std::string(section) is a false -Wrestrict in GCC 12
        header += section;
        header += ']';
        out.make(header);
        if (!setting_line.empty()) out.make(setting_line);
        found_.changed = true;
    }

    std::vector<line> run_;
    bool holding_ = false;
    bool dropping_value_ = false;
    bool watching_ = false;
    value_watch watch_;

  private:
    bool spaced_ = false;
    std::string indent_, before_equals_, after_equals_;
};

class header_adder final : public common_editing {
  public:
    header_adder(dialect rules, std::string section)
        : common_editing(section_cursor(section, rules), 0), section_(std::move(section)) {
        found_.header = cursor_.opened();
    }
    void take(line&& l, engine::emitter& out) override {
        if (cursor_.step(l.info()).header) found_.header = true;
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (!found_.header) append_section(out, section_, {});
    }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return found_.header; }
    bool keeps_bytes() const override { return true; }

  private:
    std::string section_;
};

// addSetting: exact, the new line directly below the section's first header line (taken back when the
// lookups find the setting); common, after the section's last line as the lookups read it.
class setting_adder final : public common_editing {
  public:
    setting_adder(dialect rules, stages::name section, std::string setting, std::string value)
        : common_editing(section_cursor(std::move(section), rules), setting.size()),
          setting_(std::move(setting)),
          value_(std::move(value)) {
        found_.header = cursor_.opened();
        holding_ = found_.header && rules == dialect::common;
    }
    void take(line&& l, engine::emitter& out) override {
        if (done_) {
            out.put(std::move(l));
            return;
        }
        if (held(l, out)) return;
        const auto at = cursor_.step(l.info());
        if (!found_.header) {
            out.put(std::move(l));
            if (!at.header) return;
            found_.header = true;
            if (cursor_.rules() == dialect::exact) {
                out.make(setting_ + "=" + value_);
                found_.changed = true;
            } else {
                holding_ = true;
            }
            return;
        }
        if (at.ends_lookup || cursor_.lookup_over()) {
            end_of_section(out, search::ended_by_header);
            out.put(std::move(l));
            return;
        }
        if (at.lookup) note_spacing(l);
        if (at.lookup && is_setting_named(l, setting_)) {
            found_.setting = search::found;
            found_.changed = false;  // there already: the copy is abandoned
            done_ = true;
        }
        put_run(out);
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (found_.header && !done_) end_of_section(out, search::end_of_file);
        put_run(out);
    }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return done_; }

  private:
    void end_of_section(engine::emitter& out, search how) {
        found_.setting = how;
        if (cursor_.rules() == dialect::common) {
            out.make(new_line(setting_, value_));
            found_.changed = true;
        }
        put_run(out);
        holding_ = false;
        done_ = true;
    }

    std::string setting_, value_;
    bool done_ = false;
};

// updateSetting and deleteSetting: the setting's lines in the part of the section the edit reaches; an
// update changes the first of them and reports a further one, a deletion drops them all.
class setting_editor final : public common_editing {
  public:
    setting_editor(dialect rules, stages::name section, stages::name setting,
                   std::optional<std::string> value, reach where)
        : common_editing(section_cursor(std::move(section), rules), setting ? setting->size() : 0),
          setting_(std::move(setting)),
          value_(std::move(value)),
          reach_(where) {
        found_.header = cursor_.opened();
        watching_ = !value_ && rules == dialect::common;
    }
    void take(line&& l, engine::emitter& out) override {
        if (dropped_with_value(l, out)) return;
        put_run(out);
        const auto at = cursor_.step(l.info());
        if (!found_.header) {
            found_.header = at.header;
            let_through(std::move(l), out);
            return;
        }
        if (at.ends_lookup && found_.setting != search::found) {
            found_.setting = search::ended_by_header;
            done_ = true;
            let_through(std::move(l), out);
            return;
        }
        const bool named = setting_ && is_setting_named(l, *setting_);
        if (at.lookup && named) found_.setting = search::found;
        const bool reached = reach_ == reach::first_occurrence ? at.first : at.lookup;
        if (named && at.lookup) found_.line_feed = found_.line_feed || holds_line_feed(l);
        if (reached && editing_ && named) {
            if (!value_) {  // a deletion
                found_.changed = true;
                watch_.removed();
                start_dropping_value();
                return;
            }
            if (found_.changed || replaced_) {
                found_.many = true;  // a further line of the name: reported once, and the rest is copied
                editing_ = false;
            } else {
                out.make(replaced(l, *setting_, *value_));
                found_.changed = true;
                replaced_ = true;
                start_dropping_value();
                return;
            }
        }
        let_through(std::move(l), out);
        const bool over = reach_ == reach::first_occurrence ? cursor_.first_over() : cursor_.lookup_over();
        if (found_.setting == search::found && (!editing_ || over)) done_ = true;
    }
    void finish(engine::emitter& out) override { put_run(out); }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return done_ && !dropping_value_; }

  private:
    void start_dropping_value() { dropping_value_ = cursor_.rules() == dialect::common; }

    stages::name setting_;
    std::optional<std::string> value_;  // nothing: a deletion
    reach reach_;
    bool editing_ = true;
    bool replaced_ = false;
    bool done_ = false;
};

// twini's and the C++ interface's set, in the common dialect: changes the first line of the setting in
// the section as the lookups read it where its value differs (and drops the lines its old value went on
// over), adds it after the section's last line where it is missing, and appends the section too where
// that is missing. With existing_only, adds nothing.
class setter final : public common_editing {
  public:
    setter(dialect rules, std::string section, std::string setting, std::string value, bool existing_only)
        : common_editing(section_cursor(section, rules), setting.size()),
          section_(std::move(section)),
          setting_(std::move(setting)),
          value_(std::move(value)),
          existing_only_(existing_only) {
        found_.header = cursor_.opened();
        holding_ = found_.header && rules == dialect::common;
    }
    void take(line&& l, engine::emitter& out) override {
        if (dropped_with_value(l, out)) return;
        if (done_) {
            put_run(out);
            out.put(std::move(l));
            return;
        }
        if (held(l, out)) return;
        const auto at = cursor_.step(l.info());
        if (!found_.header) {
            found_.header = at.header;
            holding_ = found_.header && cursor_.rules() == dialect::common;
            out.put(std::move(l));
            return;
        }
        if (found_.setting != search::found && (at.ends_lookup || cursor_.lookup_over())) {
            found_.setting = search::ended_by_header;
            add(out, &l);
            out.put(std::move(l));
            done_ = true;
            return;
        }
        if (at.lookup) note_spacing(l);
        if (at.lookup || at.header) note_open_value(l);
        if (found_.setting != search::found && at.lookup && is_setting_named(l, setting_)) {
            found_.setting = search::found;
            found_.line_feed = holds_line_feed(l);
            put_run(out);
            if (value_of(l) == value_) {
                out.put(std::move(l));
            } else {
                out.make(replaced(l, setting_, value_));
                found_.changed = true;
            }
            dropping_value_ = cursor_.rules() == dialect::common;
            holding_ = false;
            done_ = true;
            return;
        }
        put_run(out);
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (!found_.header) {
            if (!existing_only_) append_section(out, section_, new_line(setting_, value_));
            return;
        }
        if (found_.setting != search::found && !added_) add(out);
        put_run(out);
    }
    bool waiting() const override { return !found_.header; }
    bool done() const override { return done_ && !dropping_value_; }

  private:
    // The value of its first line, as the dialect reads it (a long line never equals a short value).
    std::string value_of(line& l) const {
        if (!l.whole()) return {};
        std::string_view v = l.head().substr(l.info().value_at);
        if (cursor_.rules() == dialect::common) v = platform::ini::trimmed(v);
        return std::string(v);
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
        std::string indent = first_indent();
        if (open_ && indent.size() > open_indent_.size()) indent = open_indent_;
        if (next && next->info().indent > indent.size())
            indent.assign(next->head().substr(0, next->info().indent));
        return indent;
    }
    void add(engine::emitter& out, const line* next = nullptr) {
        added_ = true;
        if (existing_only_) {
            put_run(out);
            holding_ = false;
            return;
        }
        const std::string indent = indent_before(next);
        out.make(new_line(setting_, value_, &indent));
        found_.changed = true;
        put_run(out);
        holding_ = false;
    }

    std::string section_, setting_, value_;
    bool existing_only_;
    bool added_ = false;
    bool done_ = false;
    bool open_ = false;  // a setting's value may go on over the next line
    std::string open_indent_;
};

}  // namespace

std::unique_ptr<section_stage> stages::add_header(dialect rules, std::string section) {
    return std::make_unique<header_adder>(rules, std::move(section));
}

std::unique_ptr<section_stage> stages::add_setting(dialect rules, name section, std::string setting,
                                                   std::string value) {
    return std::make_unique<setting_adder>(rules, std::move(section), std::move(setting), std::move(value));
}

std::unique_ptr<section_stage> stages::update_setting(dialect rules, name section, std::string setting,
                                                      std::string value, reach where) {
    return std::make_unique<setting_editor>(rules, std::move(section), std::move(setting), std::move(value),
                                            where);
}

std::unique_ptr<section_stage> stages::delete_setting(dialect rules, name section, name setting,
                                                      reach where) {
    return std::make_unique<setting_editor>(rules, std::move(section), std::move(setting), std::nullopt,
                                            where);
}

std::unique_ptr<section_stage> stages::set(std::string section, std::string setting, std::string value,
                                           bool existing_only) {
    return std::make_unique<setter>(dialect::common, std::move(section), std::move(setting), std::move(value),
                                    existing_only);
}

}  // namespace penmoor
