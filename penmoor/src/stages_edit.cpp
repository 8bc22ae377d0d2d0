// The stage that changes or deletes the lines of a setting.
#include "editing.hpp"

namespace penmoor {
namespace {

using engine::dialect;
using engine::line;

// updateSetting and deleteSetting, and the deletion of programs: the setting's lines in the part of the
// section the edit reaches. An update changes the line of it that counts (exact: the first, reporting a
// further one; common: the last, as guessed and checked at the end of the file, stages::guess), a
// deletion drops them all. In the exact dialect, a key that the lookups find after a repeat of the
// section's header line, beyond the part the edit reaches, is noted (findings::beyond_repeat): an update
// that changed nothing, or a deletion that leaves it, would leave the key the lookups find as it was.
class setting_editor final : public common_editing {
  public:
    setting_editor(dialect rules, stages::name section, stages::name setting,
                   std::optional<std::string> value, reach where, const stages::guess& g)
        : common_editing(section_cursor(std::move(section), rules), setting ? setting->size() : 0),
          setting_(std::move(setting)),
          value_(std::move(value)),
          reach_(where),
          guess_(g) {
        found_.header = cursor_.opened();
        watching_ = !value_ && rules == dialect::common;
    }
    void take(line&& l, engine::emitter& out) override {
        // The value's further lines go where the old value's lines end, indented as its first
        // continuation line was.
        if (further_ && dropping_value_ && l.info().continuation && !further_indent_)
            further_indent_.emplace(l.head().substr(0, l.info().indent));
        if (dropped_with_value(l, out)) return;
        put_further(out);
        put_run(out);
        const auto at = cursor_.step(l.info());
        if (at.header) {
            found_.header = true;
            let_through(std::move(l), out);
            return;
        }
        if (!found_.header) {
            let_through(std::move(l), out);
            return;
        }
        if (at.ends_lookup && found_.setting != search::found) {
            found_.setting = search::ended_by_header;
            done_ = true;
            let_through(std::move(l), out);
            return;
        }
        const bool named = setting_ && names_key(l, *setting_);
        if (at.lookup && named) {
            found_.setting = search::found;
            ++seen_;
        }
        const bool reached = reach_ == reach::first_occurrence ? at.first : at.lookup;
        if (named && at.lookup && !reached) beyond_ = true;
        if (reached && editing_ && named) {
            if (!value_) {  // a deletion
                found_.line_feed = found_.line_feed || holds_line_feed(l);
                found_.changed = true;
                start_dropping_value();
                return;
            }
            if (cursor_.merged() ? seen_ == guess_.key_line : !(found_.changed || replaced_)) {
                found_.line_feed = holds_line_feed(l);
                changed_line_ = seen_;
                // A line that holds the value's first line stays as it is.
                if (holds_first_line(l, *value_)) {
                    if (common() && value_->find('\n') != std::string::npos) {
                        further_.emplace(continuation_indent(l.head().substr(0, l.info().indent)));
                        out.put(std::move(l));
                    } else {
                        put_with_further_lines(out, std::move(l), *value_);
                    }
                } else {
                    make_replaced(out, l, *setting_, *value_);
                }
                found_.changed = true;
                replaced_ = true;
                start_dropping_value();
                return;
            }
            if (!cursor_.merged()) {
                found_.many = true;  // a further line of the name: reported once, and the rest is copied
                editing_ = false;
            }
        }
        let_through(std::move(l), out);
        // Done once the key is found and nothing further of it can change, or be found beyond a repeat.
        if (found_.setting == search::found && (!editing_ || cursor_.lookup_over())) done_ = true;
    }
    void finish(engine::emitter& out) override {
        put_further(out);
        put_run(out);
        found_.beyond_repeat = beyond_ && (!value_ || !found_.changed);
        if (!cursor_.merged()) return;
        if (found_.setting != search::found && found_.header) {
            found_.setting = cursor_.in_lookup() ? search::end_of_file : search::ended_by_header;
        }
        // An update changes the last line of the key: the guess held where that was the line changed.
        if (value_ && seen_ > 0 && changed_line_ != seen_) better_ = stages::guess{seen_, 1, true};
        found_.many = value_ && seen_ > 1;
    }
    // Merged, the lines between the section's occurrences may go by unseen.
    bool waiting() const override {
        return cursor_.merged() ? !cursor_.in_lookup() && !dropping_value_ && run_.empty() && watch_.in_step()
                                : !found_.header;
    }
    bool done() const override { return done_ && !dropping_value_; }
    std::optional<stages::guess> better_guess() const override { return better_; }

  private:
    void put_further(engine::emitter& out) {
        if (!further_) return;
        put_further_lines(out, *value_, further_indent_ ? *further_indent_ : *further_);
        further_.reset();
    }
    void start_dropping_value() {
        dropping_value_ = common();
        watch_.removed();
    }

    stages::name setting_;
    std::optional<std::string> value_;  // nothing: a deletion
    reach reach_;
    stages::guess guess_;
    std::optional<stages::guess> better_;
    bool editing_ = true;
    bool replaced_ = false;
    bool done_ = false;
    bool beyond_ = false;   // a line of the key stands where the lookups read and the edit does not reach
    std::size_t seen_ = 0;  // the key's lines so far
    std::size_t changed_line_ = 0;  // which of them an update changed
    // A key line kept that holds the value's first line: the further lines' indent by default, until
    // they are put; and the old value's first continuation line's indent, which they take where it had one.
    std::optional<std::string> further_;
    std::optional<std::string> further_indent_;
};

}  // namespace

std::unique_ptr<section_stage> stages::update_setting(dialect rules, name section, std::string setting,
                                                      std::string value, reach where, const guess& g) {
    return std::make_unique<setting_editor>(rules, std::move(section), std::move(setting), std::move(value),
                                            where, g);
}

std::unique_ptr<section_stage> stages::delete_setting(dialect rules, name section, name setting, reach where,
                                                      bool fold_case) {
    auto s = std::make_unique<setting_editor>(rules, std::move(section), std::move(setting), std::nullopt,
                                              where, guess{});
    if (fold_case) s->fold_case();
    return s;
}

}  // namespace penmoor
