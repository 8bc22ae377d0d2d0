// The operations a pass runs (engine.hpp): each a stage that gives its verdict on every line, and what it
// found. One stage serves a lookup, an edit of the controls or an operation of twini; several in one pass
// are a batch.
//
// Exact dialect: the controls' own rules (section.hpp). Common dialect: the rules of ini_line.hpp, with
// these edits: an update keeps the line's own spacing and drops the value's continuation lines; a value
// of several lines goes on continuation lines indented four blanks deeper than its key; a new setting
// goes after the section's last line (before the blank and comment lines that end it), spaced and
// indented as the section's first setting (but no deeper than a value open before it, nor shallower than
// an indented header after it); a new section is set off from the file's last line by one blank line
// (none in an empty file or after a blank line); a section is deleted whole, with the comment lines
// directly above its header and the blank line that set it off, leaving a comment directly above the
// next header with that header. What the verdicts of rules.hpp need is noted in the findings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine.hpp"
#include "section.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/ini_line.hpp"

namespace penmoor {

// What reading a section as the lookups read it found of a setting.
enum class search : std::uint8_t {
    found,            // a setting line of the name
    ended_by_header,  // a line that begins a section ended the section before it
    end_of_file,      // the section ran to the end of the file (or is not there)
};

// What a stage found, from which a method's events follow (events.hpp) and the core's verdicts
// (rules.hpp).
struct findings {
    bool header = false;  // the section's (first) header line is there
    search setting = search::end_of_file;
    bool changed = false;    // the copy holds a change
    bool many = false;       // an update met a further line of the name after the one it replaced
    int deletions = 0;       // deleteHeader: the distinct setting names of the section's first occurrence
    bool line_feed = false;  // a line the stage read a value from or edited holds an LF
    // Common dialect: a line the deletion keeps would go on with the value of a setting before the lines
    // it removes (the copy would read another value and lose what that line was).
    bool joins_value = false;
    // A section's deletion leaves two header lines of one section with no line between them that begins
    // another: the lines after the second would join the first.
    bool joins_section = false;
    // Exact dialect: the edit leaves the key the lookups find where it stands, after a repeat of the
    // section's header line.
    bool beyond_repeat = false;
    // Exact dialect: the section has a key whose name differs from the one added only by blanks around it.
    bool near_key = false;
};

// Common dialect: the value context of the lines an edit lets through, in order; tells a line whose place
// in a value the edit changed: one that would now go on with the value before it (lines between were
// removed), or no longer would. Until a line is removed, and again once the copy's context is the file's,
// the copy reads as the file does: the lines let through then need not all be seen (lines passed over
// between a section's occurrences are not).
class value_watch {
  public:
    // A line the edit let through: true when the copy reads it otherwise than the file did.
    bool moved(const engine::line& l) {
        const auto& info = l.info();
        // A line an earlier operation made has no context in the file: the copy's is stepped over it.
        const bool made = l.from() == engine::line::origin::made;
        if (in_step_ && !made) {
            value_ = info.after;
            return false;
        }
        const bool moved = platform::ini::continues_value(value_, info.what, info.indent, info.backslash) !=
                           info.continuation;
        in_step_ = !moved && !made && value_ == info.after;
        return moved;
    }
    // A line the edit removed.
    void removed() { in_step_ = false; }
    // Whether lines may go by unseen.
    bool in_step() const { return in_step_; }

  private:
    bool in_step_ = true;  // the copy's context is the file's
    platform::ini::value_context value_;
};

// Where a value goes, piece by piece; a listing gives begin() and end() around each setting's value.
class value_sink {
  public:
    virtual ~value_sink() = default;
    virtual void begin(std::string_view name) { (void)name; }
    virtual void piece(std::string_view text) = 0;
    virtual void end() {}
    // Everything given so far is void: the reading starts over.
    virtual void restart() {}
};

// The names a listing gives, in order; their values go nowhere.
class name_list final : public value_sink {
  public:
    void begin(std::string_view name) override { names.emplace_back(name); }
    void piece(std::string_view) override {}
    void restart() override { names.clear(); }
    std::vector<std::string> names;
};

// A value collected whole (for the controls, whose getSetting returns it whole anyway).
class value_text final : public value_sink {
  public:
    void piece(std::string_view text) override { text_.append(text); }
    void restart() override { text_.clear(); }
    std::string& text() { return text_; }

  private:
    std::string text_;
};

// How the common dialect's edits match keys and write new lines, where a caller asks for other than the
// defaults (twini's crudini command line does).
struct style {
    bool fold_case = false;  // keys match whatever the case of their ASCII letters
    enum class form : std::uint8_t {
        as_section,  // spaced as the section's first setting ("name=value" where it has none)
        spaced,      // "name = value"
        tight,       // "name=value"
    };
    form new_setting = form::as_section;  // how a new setting line is written
    // A section appended is set off by two blank lines (an unended last line's line end counting as one),
    // not by one.
    bool wide_gap = false;
    // Continuation lines of a value set are indented by this many blanks; 0: four deeper than the key.
    std::size_t continuation_indent = 0;
    // A value set empty keeps the blank after its delimiter ("name = ").
    bool blank_before_empty = false;
    // A section deleted takes only its own lines: none above its header, and the blank and comment lines
    // before the next header stay with it where a comment is among them.
    bool bare_section_removal = false;
    // A ";" after a blank on a setting line starts a comment that is no part of the value: a value set
    // keeps it after the new value.
    bool inline_comments = false;
};

// Where the comment after a setting line's value starts (a blank or tab, then ";"), blanks before it
// included; npos where it has none.
inline std::size_t inline_comment_at(std::string_view text) {
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (text[at] != ';' || (text[at - 1] != ' ' && text[at - 1] != '\t')) continue;
        while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t')) --at;
        return at;
    }
    return std::string_view::npos;
}

// Which lines of the section an edit changes.
enum class reach : std::uint8_t {
    first_occurrence,  // up to the next line that begins a section, a repeat included (the exact controls)
    lookup,            // as the lookups read it: on past repeats, and in the common dialect every occurrence
};

class section_stage;

// Makes each kind of operation. name: the section's name in the file's bytes (nothing when it cannot
// occur); setting likewise.
namespace stages {
using name = std::optional<std::string>;

// In the common dialect the last line of a key is the one that counts, and a missing key goes after the
// last line of the section's last occurrence: an edit knows which only at the end of the file. It edits
// on a guess, which a pass that finds otherwise puts right (section_stage::better_guess): the pass is
// then run again with the better guess, and reads the same lines. Most files hold a key once and a
// section once, which the first guess takes for granted.
struct guess {
    std::size_t key_line = 1;    // which line of the key, counted from the first, is the last
    std::size_t occurrence = 1;  // which occurrence of the section is the last
    bool present = false;        // the key is there (a missing one is added nowhere)
    std::size_t comment = 0;     // which commented-out line of the key a missing one replaces (0: none)
    bool section_first = false;  // the section is missing, and goes first in the file
    friend bool operator==(const guess&, const guess&) = default;
};

// Reads the section as the lookups read it: finds the section, and gives every setting of it, name and
// value, to `listing` when there is one.
std::unique_ptr<section_stage> find_section(engine::dialect rules, name section, value_sink* listing);
// Finds the setting in the section as the lookups read it, and gives its value to `value` when there
// is one.
std::unique_ptr<section_stage> find_setting(engine::dialect rules, name section, name setting,
                                            value_sink* value, bool fold_case = false);
// Every header line's name, in the order of the file, repeats included.
std::unique_ptr<engine::stage> headers(engine::dialect rules, std::function<void(std::string_view)> each);

// The controls' edits.
std::unique_ptr<section_stage> add_header(engine::dialect rules, std::string section);
std::unique_ptr<section_stage> add_setting(engine::dialect rules, name section, std::string setting,
                                           std::string value, const guess& g = {});
std::unique_ptr<section_stage> update_setting(engine::dialect rules, name section, std::string setting,
                                              std::string value, reach where, const guess& g = {});
std::unique_ptr<section_stage> delete_setting(engine::dialect rules, name section, name setting, reach where,
                                              bool fold_case = false);
// Deletes the section: source is the file the pass reads (long names are compared there).
std::unique_ptr<section_stage> delete_header(engine::dialect rules, name section, platform::file& source,
                                             const style& look = {});
// What a set may do besides changing the key or adding it (and its section) at the end.
struct set_how {
    bool existing_only = false;  // add nothing
    // Common dialect: a missing key takes the place of a commented-out line of it in the section
    // (";name = value", "# name=value"), the first there is.
    bool uncomment = false;
    bool section_first = false;  // common dialect: a missing section goes first in the file, not last
    style look;                  // common dialect
};
// Sets a setting (twini's and the C++ interface's set): changes the line of it that counts (the first in
// the exact dialect, the last in the common one) where the value differs, adds it where it is missing,
// and the section too, as `how` says.
std::unique_ptr<section_stage> set(engine::dialect rules, std::string section, std::string setting,
                                   std::string value, const set_how& how, const guess& g = {});
// Adds the section where it is missing (with how.existing_only, nothing), as add_header in the common
// dialect; how.section_first puts it first in the file.
std::unique_ptr<section_stage> add_header(engine::dialect rules, std::string section, const set_how& how,
                                          const guess& g);
}  // namespace stages

// Whether two names are the same but for the case of their ASCII letters.
inline bool same_but_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Whether l is a setting line of that name (not a line of another setting's value); with fold_case,
// whatever the case of its ASCII letters.
inline bool is_setting_named(const engine::line& l, std::string_view name, bool fold_case = false) {
    const auto& info = l.info();
    return info.what == engine::kind::setting && !info.continuation && info.named &&
           (fold_case ? same_but_case(info.name, name) : info.name == name);
}

// What every stage that works on one section shares: the section cursor, what it found, and in the
// common dialect the blank and comment lines held until the next line says where they belong.
class section_stage : public engine::stage {
  public:
    section_stage(section_cursor cursor, std::size_t setting_size)
        : cursor_(std::move(cursor)), want_(std::max(cursor_.want(), setting_size + 1)) {}

    const findings& found() const { return found_; }
    bool changed() const override { return found_.changed; }
    // After a pass: the guess it should have been made on, where the one it was made on proved wrong.
    virtual std::optional<stages::guess> better_guess() const { return std::nullopt; }
    // The operation changes nothing of the bytes of lines it lets through (so the copy may keep them).
    virtual bool keeps_bytes() const { return cursor_.rules() == engine::dialect::common; }

    std::size_t want() const override { return want_; }
    std::optional<std::string_view> awaited() const override {
        return waiting() ? cursor_.header_line() : std::nullopt;
    }
    std::optional<std::string_view> awaited_section() const override {
        if (!waiting() || !cursor_.name()) return std::nullopt;
        return std::string_view(*cursor_.name());
    }

    // Keys match whatever the case of their ASCII letters.
    void fold_case() { fold_case_ = true; }

  protected:
    bool names_key(const engine::line& l, std::string_view key) const {
        return is_setting_named(l, key, fold_case_);
    }

    section_cursor cursor_;
    findings found_;
    std::size_t want_;
    bool fold_case_ = false;
};

}  // namespace penmoor
