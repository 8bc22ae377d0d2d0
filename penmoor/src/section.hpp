// Where each line of a file stands with respect to one section, as the writer's operations see it.
//
// Common dialect: every occurrence of the section is part of it, as Linux programs read one: a header
// line of its name opens an occurrence, any other header line ends it, and the lookups read every
// occurrence (the section ends only with the file). The lines before the first header are the section
// named "".
//
// Exact dialect: a section opens at the first line "[" + name + "]". From there:
// - its first occurrence runs up to the next line that begins a section, a repeat of its own header
//   line included: the part the controls' edits change;
// - the lookups read on past a repeat of the header line, up to the next line that begins a section
//   and is not a repeat (or the end of the file);
// - every occurrence, the first and each later repeat, runs up to the next line that begins a section
//   and is not a repeat: what a deletion of the whole section removes.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "engine.hpp"

namespace penmoor {

class section_cursor {
  public:
    // name: the section's name in the file's bytes; nothing for a name that cannot occur in a file.
    section_cursor(std::optional<std::string> name, engine::dialect rules)
        : name_(std::move(name)), rules_(rules), merged_(rules == engine::dialect::common) {
        if (name_ && rules_ == engine::dialect::exact) header_line_ = "[" + *name_ + "]";
        if (name_ && name_->empty() && rules_ == engine::dialect::common) {
            opened_ = in_first_ = in_lookup_ = in_any_ = true;  // the lines before the first header
        }
    }

    // What a line is, for the line just stepped over.
    struct line_kind {
        bool header = false;           // a header line of the section: the first one or a repeat
        bool ends_lookup = false;      // the line that ends the section as the lookups read it (exact)
        bool ends_occurrence = false;  // a line that begins another section right after an occurrence
        bool first = false;            // a line of the first occurrence (not its header line)
        bool lookup = false;           // a line of the section as the lookups read it (not a header line)
        bool any = false;              // a line of some occurrence (not a header line)
    };

    // Steps over the next line.
    line_kind step(const engine::line_info& l) {
        line_kind kind;
        if (is_own_header(l)) {
            kind.header = true;
            // The first header line opens the section; a repeat ends its first occurrence. Merged, every
            // occurrence is read.
            in_first_ = !opened_;
            if (!opened_ || merged_) in_lookup_ = true;
            opened_ = in_any_ = true;
            return kind;
        }
        if (l.begins_section) {
            kind.ends_lookup = in_lookup_ && !merged_;
            kind.ends_occurrence = in_any_;
            in_first_ = in_lookup_ = in_any_ = false;
            return kind;
        }
        kind.first = in_first_;
        kind.lookup = in_lookup_;
        kind.any = in_any_;
        return kind;
    }

    bool is_own_header(const engine::line_info& l) const {
        return name_ && l.begins_section && l.named && l.name == *name_;
    }

    // The bytes of a line's head that tell its header line from any other.
    std::size_t want() const { return name_ ? name_->size() + 2 : 0; }
    const std::optional<std::string>& name() const { return name_; }
    // The exact dialect's header line, "[" + name + "]".
    std::optional<std::string_view> header_line() const {
        if (header_line_.empty()) return std::nullopt;
        return std::string_view(header_line_);
    }
    engine::dialect rules() const { return rules_; }

    bool opened() const { return opened_; }
    // Whether every occurrence is part of the section (the common dialect).
    bool merged() const { return merged_; }
    // Whether no line after the current one can be in the part named (merged, the section goes on to the
    // end of the file).
    bool first_over() const { return opened_ && !in_first_; }
    bool lookup_over() const { return opened_ && !in_lookup_ && !merged_; }
    bool in_first() const { return in_first_; }
    bool in_lookup() const { return in_lookup_; }
    bool in_any() const { return in_any_; }

  private:
    std::optional<std::string> name_;
    engine::dialect rules_;
    bool merged_;
    std::string header_line_;
    bool opened_ = false;
    bool in_first_ = false;
    bool in_lookup_ = false;
    bool in_any_ = false;
};

}  // namespace penmoor
