// The stages that read: a section, a setting and its value, every setting of a section, every header.
#include "stages.hpp"
#include "values.hpp"

namespace penmoor {
namespace {

using engine::dialect;
using engine::kind;

class finder final : public section_stage {
  public:
    finder(dialect rules, stages::name section, bool for_setting, stages::name setting, value_sink* value)
        : section_stage(section_cursor(std::move(section), rules), setting ? setting->size() : 0),
          for_setting_(for_setting),
          setting_(std::move(setting)),
          value_(value),
          reader_(rules, value, found_.line_feed) {
        found_.header = cursor_.opened();
    }

    // Once done, what was found stands: later lines (those that stages before this one make at the end
    // of the pass included) are only passed on.
    void take(engine::line&& l, engine::emitter& out) override {
        if (!done_) examine(l);
        out.put(std::move(l));
    }
    void finish(engine::emitter&) override {
        reader_.end_value();
        // Merged, a header line ended the section where one ended its last occurrence.
        if (cursor_.merged() && for_setting_ && found_.setting != search::found && found_.header) {
            found_.setting = cursor_.in_lookup() ? search::end_of_file : search::ended_by_header;
        }
    }
    // Merged, the lines between the section's occurrences may go by unseen.
    bool waiting() const override {
        return cursor_.merged() ? !cursor_.in_lookup() && !reader_.collecting() : !cursor_.opened();
    }
    bool done() const override { return done_; }

  private:
    void examine(engine::line& l) {
        if (reader_.collecting()) {
            if (reader_.goes_on(l)) return;
            reader_.end_value();
            // Merged, a later line of the key counts instead: the file is read to its end.
            if (for_setting_ && !cursor_.merged()) {
                done_ = true;
                return;
            }
        }
        const auto at = cursor_.step(l.info());
        if (at.header) {
            found_.header = true;
            if (!for_setting_ && !value_) done_ = true;
            return;
        }
        if (!found_.header) return;
        if (at.ends_lookup || cursor_.lookup_over()) {
            if (for_setting_ && found_.setting != search::found) found_.setting = search::ended_by_header;
            done_ = true;
            return;
        }
        if (!at.lookup) return;
        if (for_setting_) {
            if (!setting_ || !names_key(l, *setting_)) return;
            // Merged, the last line of the key is the one that counts: an earlier one's value is void.
            if (found_.setting == search::found && value_) {
                value_->restart();
                found_.line_feed = false;
            }
            found_.setting = search::found;
            if (!value_) {
                done_ = true;
                return;
            }
            reader_.start(l);
            if (!reader_.collecting() && !cursor_.merged()) done_ = true;
            return;
        }
        if (value_) reader_.start_listed(l);
    }

    bool for_setting_;
    stages::name setting_;  // nothing: a name that cannot occur
    value_sink* value_;
    value_reader reader_;
    bool done_ = false;
};

class header_lister final : public engine::stage {
  public:
    header_lister(dialect rules, std::function<void(std::string_view)> each)
        : rules_(rules), each_(std::move(each)) {}

    void take(engine::line&& l, engine::emitter& out) override {
        const auto& info = l.info();
        if (info.begins_section) {
            seen_header_ = true;
            if (info.named) {
                each_(info.name);
            } else if (rules_ == dialect::exact && !l.whole()) {
                // A header line longer than its head: read whole for its name.
                std::string text;
                l.each_of_value([&](std::string_view piece) { text.append(piece); });
                if (text.size() >= 2 && text.back() == ']')
                    each_(std::string_view(text).substr(1, text.size() - 2));
            }
        } else if (!seen_header_ && rules_ == dialect::common && info.what == kind::setting &&
                   !info.continuation && !preamble_) {
            // Settings before the first header: the section named "".
            preamble_ = true;
            each_("");
        }
        out.put(std::move(l));
    }
    void finish(engine::emitter&) override {}
    bool waiting() const override { return seen_header_ || rules_ == dialect::exact; }
    bool done() const override { return false; }

  private:
    dialect rules_;
    std::function<void(std::string_view)> each_;
    bool seen_header_ = false;
    bool preamble_ = false;
};

}  // namespace

std::unique_ptr<section_stage> stages::find_section(dialect rules, name section, value_sink* listing) {
    return std::make_unique<finder>(rules, std::move(section), false, std::nullopt, listing);
}

std::unique_ptr<section_stage> stages::find_setting(dialect rules, name section, name setting,
                                                    value_sink* value, bool fold_case) {
    auto s = std::make_unique<finder>(rules, std::move(section), true, std::move(setting), value);
    if (fold_case) s->fold_case();
    return s;
}

std::unique_ptr<engine::stage> stages::headers(dialect rules, std::function<void(std::string_view)> each) {
    return std::make_unique<header_lister>(rules, std::move(each));
}

}  // namespace penmoor
