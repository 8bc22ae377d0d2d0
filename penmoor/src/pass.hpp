// One read of a file, a line at a time through a section cursor, copying to a sink when there is one.
// The lookups and every edit are a pass: they differ only in what they do with each line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "section.hpp"

namespace penmoor {

class pass {
public:
    // A pass over source for the section of header line `header`, deciding about setting names of at
    // most name_size bytes. Lines are copied to out when there is one.
    pass(platform::file& source, std::optional<std::string> header, std::size_t name_size,
         platform::line_sink* out = nullptr)
        : lines_(source, buffer_.span()), section_(std::move(header)), want_(section_.want(name_size)),
          out_(out) {}

    // Passes over (copying) the lines up to the next header line of the section, and steps over that
    // one without copying it: false at the end of the file. Runs at the speed of memchr.
    bool to_header() {
        if (!section_.header() || !lines_.skip_to(*section_.header(), out_)) return false;
        kind_ = section_.step(*section_.header());
        text_ = *section_.header();
        whole_ = true;
        taken_ = true;
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
        taken_ = false;
        return true;
    }
    // The line's head: the whole line, or at least enough of it to decide on (see section_cursor).
    std::string_view text() const { return text_; }
    bool whole() const { return whole_; }
    const section_cursor::line_kind& kind() const { return kind_; }
    const section_cursor& section() const { return section_; }
    // Whether the line holds "=", looked for ahead in the file when the line is longer than its head.
    bool holds_equals() {
        return text_.find('=') != std::string_view::npos || (!whole_ && lines_.rest_contains('='));
    }
    void copy() {
        if (taken_) {
            if (out_) out_->line(text_, "\r\n");  // the header line that to_header() stepped over
        } else if (out_) {
            lines_.copy_line(*out_);
        }
        taken_ = true;
    }
    void drop() {
        if (!taken_) lines_.skip_line();
        taken_ = true;
    }
    // Copies every line left, at the speed of memchr.
    void copy_rest() {
        if (out_) lines_.pass_all(*out_);
    }
    platform::line_reader& lines() { return lines_; }

private:
    platform::buffer_lease buffer_;
    platform::line_reader lines_;
    section_cursor section_;
    std::size_t want_;
    platform::line_sink* out_;
    std::string_view text_;
    bool whole_ = true;
    bool taken_ = true;
    section_cursor::line_kind kind_;
};

}  // namespace penmoor
