// One read of a file, a line at a time through a section cursor, copying to a sink when there is one.
// The lookups and every edit are a pass: they differ only in what they do with each line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "line_rules.hpp"
#include "section.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_reader.hpp"

namespace penmoor {

class pass {
  public:
    // A pass over source, whose lines end as `ends` says, for the section of header line `header`,
    // deciding about setting names of at most name_size bytes. Lines are copied to out when there is one.
    pass(platform::file& source, platform::line_ends ends, std::optional<std::string> header,
         std::size_t name_size, platform::line_sink* out = nullptr)
        : lines_(source, buffer_.span(), ends),
          section_(std::move(header)),
          want_(section_.want(name_size)),
          out_(out) {}

    // Passes over (copying) the lines up to the next header line of the section, and steps over that
    // one without copying it: false at the end of the file. Runs at the speed of memchr.
    bool to_header() {
        if (!section_.header() || !lines_.skip_to(*section_.header(), out_)) return false;
        kind_ = section_.step(*section_.header());
        text_ = *section_.header();
        whole_ = true;
        state_ = state::header_pending;
        return true;
    }
    // Takes the next line: false at the end of the file. Then text(), kind(), and one of copy() and
    // drop(); a line neither copied nor dropped is dropped.
    bool next() {
        platform::line_head head;
        if (!lines_.head(head, want_)) return false;
        text_ = head.text;
        whole_ = head.whole;
        kind_ = section_.step(text_);
        state_ = state::line_pending;
        return true;
    }
    // The line's head: the whole line, or at least enough of it to decide on (see section_cursor).
    std::string_view text() const { return text_; }
    bool whole() const { return whole_; }
    const section_cursor::line_kind& kind() const { return kind_; }
    const section_cursor& section() const { return section_; }
    // The current line from byte `from` of its head to its end, read on past the head where it is longer.
    std::string line_from(std::size_t from = 0) {
        std::string line(text_.substr(from));
        if (!whole_) lines_.append_rest(line);
        return line;
    }
    // Whether the line holds "=", looked for ahead in the file when the line is longer than its head.
    bool holds_equals() {
        return text_.find('=') != std::string_view::npos || (!whole_ && lines_.rest_contains('='));
    }
    // Copies the current line, once; nothing after the first time, or after drop().
    void copy() {
        if (out_ && state_ == state::header_pending) out_->line(text_, {});
        if (out_ && state_ == state::line_pending) lines_.copy_line(*out_);
        state_ = state::done;
    }
    void drop() {
        if (state_ == state::line_pending) lines_.skip_line();
        state_ = state::done;
    }
    // Copies every line left, at the speed of memchr.
    void copy_rest() {
        if (out_) lines_.pass_all(*out_);
    }
    platform::line_reader& lines() { return lines_; }

    // What reading the section as the lookups read it found.
    enum class search {
        found,            // a setting line of the name: the pass's current line
        ended_by_header,  // a line beginning with "[" ended the section: the current line
        end_of_file,      // the section ran to the end of the file
    };

    // Reads the section as the lookups read it, copying the lines it passes over, up to the first
    // setting line named `name`. Call it once the pass stands at the section's first header line.
    search find_setting(const std::optional<std::string>& name) {
        copy();
        while (next()) {
            if (kind_.ends_lookup) return search::ended_by_header;
            if (kind_.lookup && rules::is_setting(text_, name)) return search::found;
            copy();
        }
        return search::end_of_file;
    }

    // An edit of the setting lines named `name` in the section's first occurrence, made while the
    // section is read as the lookups read it: edit(*this) is called on each such line (it copies, drops
    // or replaces it, and returns false when the rest is to be copied unchanged); every other line is
    // copied. Stops once the lookups' answer is known and the edit is over, at the end of the file, or
    // where the lookups' reading ends without the name. Call it once the pass stands at the section's
    // first header line.
    template <class Edit>
    search edit_first_occurrence(const std::optional<std::string>& name, Edit&& edit) {
        copy();
        bool found = false;
        bool editing = true;
        while (next()) {
            if (kind_.ends_lookup && !found) return search::ended_by_header;
            const bool named = rules::is_setting(text_, name);
            found = found || (kind_.lookup && named);
            if (kind_.first && editing && named) {
                editing = edit(*this);
            }
            copy();  // nothing when the edit took the line
            if (found && (!editing || section_.first_over())) return search::found;
        }
        return found ? search::found : search::end_of_file;
    }

  private:
    platform::buffer_lease buffer_;
    platform::line_reader lines_;
    section_cursor section_;
    std::size_t want_;
    platform::line_sink* out_;
    std::string_view text_;
    bool whole_ = true;
    // The current line: copied or dropped already, or still to be, as a header line that to_header()
    // stepped over or as a line that next() took.
    enum class state { done, header_pending, line_pending } state_ = state::done;
    section_cursor::line_kind kind_;
};

}  // namespace penmoor
