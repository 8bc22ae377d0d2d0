// What the stages that add, change and delete settings share (stages_add.cpp, stages_edit.cpp): in the
// common dialect, the blank and comment lines held until the next line says where they belong, the lines
// of a value being dropped, the spacing of the section's first setting, and new setting lines with their
// continuation lines.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "rules.hpp"
#include "stages.hpp"
#include "values.hpp"

namespace penmoor {

// Whether a line holds an LF (which then does not end lines); a line longer than its head is read on.
inline bool holds_line_feed(engine::line& l) {
    if (l.whole()) return l.head().find('\n') != std::string_view::npos;
    bool found = false;
    l.each_piece(
        [&](std::string_view piece) { found = found || piece.find('\n') != std::string_view::npos; });
    return found;
}

inline bool is_blank_or_comment(const engine::line& l) {
    return l.info().what == engine::kind::blank || l.info().what == engine::kind::comment;
}

class common_editing : public section_stage {
  protected:
    using section_stage::section_stage;

    bool common() const { return cursor_.rules() == engine::dialect::common; }
    // How new lines are written (the common dialect).
    void use(const style& look) { look_ = look; }
    const style& look() const { return look_; }

    // Holds l when it is a blank or comment line and lines are being held; true if held.
    bool held(engine::line& l, engine::emitter& out) {
        if (!holding_ || !is_blank_or_comment(l)) return false;
        run_.push_back(out.hold(std::move(l)));
        return true;
    }
    void put_run(engine::emitter& out) {
        for (engine::line& r : run_) let_through(std::move(r), out);
        run_.clear();
    }
    // Lets l through; where a deletion watches, notes whether the copy would read it in another value.
    void let_through(engine::line&& l, engine::emitter& out) {
        if (watching_) found_.joins_value = watch_.moved(l) || found_.joins_value;
        out.put(std::move(l));
    }
    // While the value of a dropped line goes on: its continuation lines and the blank and comment lines
    // between them go too. True when l was one of them (or held to tell). A line that goes holding an LF
    // is noted as one the edit changed.
    bool dropped_with_value(engine::line& l, engine::emitter& out) {
        if (!dropping_value_) return false;
        if (l.info().continuation) {
            found_.line_feed = found_.line_feed || holds_line_feed(l);
            for (engine::line& r : run_) found_.line_feed = found_.line_feed || holds_line_feed(r);
            run_.clear();
            found_.changed = true;
            watch_.removed();
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
    void note_spacing(engine::line& l) {
        if (spaced_ || l.info().what != engine::kind::setting || l.info().continuation) return;
        spaced_ = true;
        // A line longer than its head is read whole for it (once: the section's first setting).
        std::string whole;
        if (!l.whole()) l.each_piece([&](std::string_view piece) { whole.append(piece); });
        const std::string_view text = l.whole() ? l.head() : std::string_view(whole);
        const platform::ini::line_shape shape = platform::ini::shape_of(text);
        // An empty name stands where the line's text does.
        const auto name_at =
            shape.name.empty() ? shape.indent : static_cast<std::size_t>(shape.name.data() - text.data());
        const std::size_t equals = text.find_first_of(platform::ini::delimiters, name_at + shape.name.size());
        indent_.assign(text.substr(0, name_at));
        before_equals_.assign(text.substr(name_at + shape.name.size(), equals - name_at - shape.name.size()));
        delimiter_ = text[equals];
        after_equals_.assign(
            text.substr(equals + 1, static_cast<std::size_t>(shape.value.data() - text.data()) - equals - 1));
    }

    // Makes a setting line: head (the line up to its value) and the value, whose further lines in the
    // common dialect go on continuation lines indented deeper than the line's own indent.
    void make_setting(engine::emitter& out, std::string head, std::string_view value,
                      std::string_view indent) {
        if (!common() || value.find('\n') == std::string_view::npos) {
            if (value.empty() && !look_.blank_before_empty) {
                while (common() && !head.empty() && platform::ini::is_blank(head.back())) head.pop_back();
            }
            out.make(head + std::string(value));
            return;
        }
        const std::size_t first = value.find('\n');
        std::string line = head + std::string(value.substr(0, first));
        while (!line.empty() && platform::ini::is_blank(line.back())) line.pop_back();
        out.make(line);
        const std::string deeper = continuation_indent(indent);
        for (std::size_t at = first + 1;;) {
            const std::size_t stop = std::min(value.find('\n', at), value.size());
            const std::string_view text = value.substr(at, stop - at);
            out.make_continued(text.empty() ? std::string() : deeper + std::string(text));
            if (stop == value.size()) return;
            at = stop + 1;
        }
    }
    // A new setting line, spaced as the section's first setting (indented by `indent` where given); an
    // empty name has no blanks before its "=", which would indent the line.
    void make_new(engine::emitter& out, std::string_view setting, std::string_view value,
                  const std::string* indent = nullptr) {
        if (!common()) {
            out.make(std::string(setting) + "=" + std::string(value));
            return;
        }
        const std::string& in = indent ? *indent : new_indent();
        std::string head = in + std::string(setting);
        switch (look_.new_setting) {
            case style::form::as_section:
                head += (setting.empty() ? "" : before_equals_) + delimiter_ + after_equals_;
                break;
            case style::form::spaced:
                head += setting.empty() ? "= " : " = ";
                break;
            case style::form::tight:
                head += '=';
                break;
        }
        make_setting(out, head, value, in);
    }
    // The indent a new setting line starts from: the section's first setting's, where new lines are
    // spaced as it is.
    const std::string& new_indent() const {
        static const std::string none;
        return look_.new_setting == style::form::as_section ? indent_ : none;
    }
    // Whether line l (a setting line, in the common dialect) already holds the first line of value.
    bool holds_first_line(engine::line& l, std::string_view value) const {
        if (!common()) return false;
        // A line longer than its head is read whole for it.
        std::string whole;
        if (!l.whole()) l.each_of_value([&](std::string_view piece) { whole.append(piece); });
        std::string_view own =
            l.whole() ? l.head().substr(std::min(l.info().value_at, l.head().size())) : whole;
        if (look_.inline_comments) own = own.substr(0, inline_comment_at(own));
        return platform::ini::trimmed(own) == value.substr(0, value.find('\n'));
    }
    // Puts line l, which holds the first line of value, as it stands, and the value's further lines after
    // it on continuation lines.
    void put_with_further_lines(engine::emitter& out, engine::line&& l, std::string_view value,
                                const std::optional<std::string>& indent = std::nullopt) {
        const std::string deeper =
            indent ? *indent : continuation_indent(l.head().substr(0, l.info().indent));
        out.put(std::move(l));
        put_further_lines(out, value, deeper);
    }
    // Makes the value's lines after its first as continuation lines indented by `deeper`.
    void put_further_lines(engine::emitter& out, std::string_view value, const std::string& deeper) {
        for (std::size_t at = value.find('\n'); at != std::string_view::npos;) {
            const std::size_t stop = std::min(value.find('\n', at + 1), value.size());
            const std::string_view text = value.substr(at + 1, stop - at - 1);
            out.make_continued(text.empty() ? std::string() : deeper + std::string(text));
            at = stop == value.size() ? std::string_view::npos : stop;
        }
    }
    // Makes line l (a setting line) with value instead of its own, its spacing kept.
    void make_replaced(engine::emitter& out, const engine::line& l, std::string_view setting,
                       std::string_view value) {
        if (!common()) {
            out.make(std::string(setting) + "=" + std::string(value));
            return;
        }
        std::string head(l.head().substr(0, l.info().value_at));
        // A bare key (no delimiter) given a value takes one.
        if (!value.empty() && head.find_first_of(platform::ini::delimiters) == std::string::npos) {
            while (!head.empty() && platform::ini::is_blank(head.back())) head.pop_back();
            head += look_.new_setting == style::form::tight ? "=" : " = ";
        }
        // The comment after the old value stays after the new value's first line, in its column where the
        // line leaves room (blanks before it), else a blank after the value.
        const std::string_view old = l.head().substr(std::min(l.info().value_at, l.head().size()));
        const std::size_t comment =
            look_.inline_comments && l.whole() ? inline_comment_at(old) : std::string_view::npos;
        if (comment != std::string_view::npos) {
            // Columns are counted in characters, a UTF-8 sequence as one.
            const auto columns = [](std::string_view text) {
                return static_cast<std::size_t>(std::ranges::count_if(
                    text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
            };
            const std::size_t mark = old.find_first_not_of(" \t", comment);
            const std::size_t column = columns(l.head().substr(0, l.info().value_at + mark));
            std::string first = head + std::string(value.substr(0, value.find('\n')));
            const std::size_t width = columns(first);
            first.append(column > width ? column - width : 1, ' ');
            out.make(first + std::string(old.substr(mark)));
            put_further_lines(out, value, continuation_indent(l.head().substr(0, l.info().indent)));
            return;
        }
        make_setting(out, head, value, l.head().substr(0, l.info().indent));
    }
    // Appends a section with its first setting at the end of the file, set off by a blank line (two
    // where the style says, none at the top of the file).
    void append_section(engine::emitter& out, std::string_view section,
                        std::optional<std::pair<std::string_view, std::string_view>> setting) {
        // The exact dialect: byte for byte what addHeader appends, then the setting below the header line.
        if (!common() || (look_.wide_gap && !out.empty())) {
            if (!out.ends_unended()) out.make("");
            out.make("");
        } else if (!look_.wide_gap && !out.ends_blank()) {
            out.make("");
        }
        make_section(out, section, setting);
    }
    // A header line and the section's first setting.
    void make_section(engine::emitter& out, std::string_view section,
                      std::optional<std::pair<std::string_view, std::string_view>> setting) {
        std::string header = "[";  // appended: "[" + std::string(section) is a false -Wrestrict in GCC 12
        header += section;
        header += ']';
        out.make(header);
        if (setting) make_new(out, setting->first, setting->second);
        found_.changed = true;
    }

    std::vector<engine::line> run_;
    bool holding_ = false;
    bool dropping_value_ = false;
    bool watching_ = false;
    value_watch watch_;

    // Where the value's further lines start: as the style says, or four blanks deeper than the key line.
    std::string continuation_indent(std::string_view key_indent) const {
        if (look_.continuation_indent > 0) return std::string(look_.continuation_indent, ' ');
        return std::string(key_indent) + "    ";
    }

  private:
    style look_;
    bool spaced_ = false;
    std::string indent_, before_equals_, after_equals_;
    char delimiter_ = '=';  // the first setting's: "=", or ":" where it is written `name: value`
};

}  // namespace penmoor
