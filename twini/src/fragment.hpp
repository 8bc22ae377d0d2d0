// An INI fragment to merge into a file (merge, crudini's --merge): its settings in the order they come,
// read in the common dialect. Comments go; a value goes on over its continuation lines; of two equal
// keys in a section the last counts, where the first stood. Keys before the first header are the
// section "". Given a section, every key goes to it, whatever header stands above it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twini {

struct fragment {
    struct setting {
        std::string section, key, value;
    };
    std::vector<std::string> sections;  // every section named, in order, those without settings too
    std::vector<setting> settings;
    // A line that is no header, setting, comment or blank line: its number, and the line.
    std::optional<std::pair<std::size_t, std::string>> unread;
};

// The fragment in text (UTF-8 or not, as it comes; a byte-order mark at its start is no part of it).
fragment read_fragment(std::string_view text, const std::optional<std::string>& into);

}  // namespace twini
