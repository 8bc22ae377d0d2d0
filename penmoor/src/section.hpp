// Where each line of a file stands with respect to one section, as the writer's operations see it.
//
// A section opens at the first header line of its name, "[" + name + "]". From there:
// - its first occurrence runs up to the next line that begins with "[", a repeat of the same header
//   line included: the part an edit changes;
// - the lookups read on past a repeat of the header line, up to the next line that begins with "[" and
//   is not a repeat (or the end of the file);
// - every occurrence, the first and each later repeat, runs up to the next line that begins with "["
//   and is not a repeat: what a deletion of the whole section removes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "line_rules.hpp"

namespace penmoor {

class section_cursor {
  public:
    // header: the section's header line; nothing for a name that cannot occur in a file.
    explicit section_cursor(std::optional<std::string> header) : header_(std::move(header)) {}

    // What a line is, for the line just stepped over.
    struct line_kind {
        bool header = false;       // a header line of the section: the first one or a repeat
        bool ends_lookup = false;  // the line that ends the section as the lookups read it
        bool first = false;        // a line of the first occurrence (not its header line)
        bool lookup = false;       // a line of the section as the lookups read it (not a header line)
        bool any = false;          // a line of some occurrence (not a header line)
    };

    // Steps over the next line, given its head (at least want() bytes of a longer line).
    line_kind step(std::string_view head) {
        line_kind kind;
        if (rules::matches(head, header_)) {
            kind.header = true;
            // The first header line opens the section; a repeat ends its first occurrence.
            in_first_ = !opened_;
            if (!opened_) in_lookup_ = true;
            opened_ = in_any_ = true;
            return kind;
        }
        if (rules::begins_section(head)) {
            kind.ends_lookup = in_lookup_;
            in_first_ = in_lookup_ = in_any_ = false;
            return kind;
        }
        kind.first = in_first_;
        kind.lookup = in_lookup_;
        kind.any = in_any_;
        return kind;
    }

    // The bytes of a line's head that every decision about it needs: enough to tell whether the line
    // is the header line, and whether its setting name is one of at most `name` bytes.
    std::size_t want(std::size_t name = 0) const { return std::max(header_ ? header_->size() : 0, name) + 1; }

    const std::optional<std::string>& header() const { return header_; }
    // Whether no line after the current one can be in the part named.
    bool first_over() const { return opened_ && !in_first_; }
    bool in_any() const { return in_any_; }

  private:
    std::optional<std::string> header_;
    bool opened_ = false;
    bool in_first_ = false;
    bool in_lookup_ = false;
    bool in_any_ = false;
};

}  // namespace penmoor
