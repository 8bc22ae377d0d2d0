// What ends a line, for every reader of lines: the streaming line reader, the engine's look at the lines
// it has passed, and the reader control's whole-buffer scan.
//
// A line ends at CR LF or at a lone CR, and where lone LFs end lines (line_ends::lf) at a lone LF too;
// otherwise a lone LF stays in the line. The terminator is no part of the line.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "tarnwick/files/line_sink.hpp"

namespace platform::line_end {

// Whether byte c may end a line (a CR always; an LF where lone LFs end lines: one after a CR is part of
// that CR LF).
constexpr bool ends(char c, bool lf) noexcept {
    return c == '\r' || (lf && c == '\n');
}

// The first byte of [data, data + size) that may end a line, or null. With lone LFs ending lines, the
// LF is looked for first: a file of LF lines holds no CR to find, and looking for one first would read
// the whole rest for every line.
inline const char* first(const char* data, std::size_t size, bool lf) noexcept {
    if (!lf) return static_cast<const char*>(std::memchr(data, '\r', size));
    const auto* n = static_cast<const char*>(std::memchr(data, '\n', size));
    const auto* r =
        static_cast<const char*>(std::memchr(data, '\r', n ? static_cast<std::size_t>(n - data) : size));
    return r ? r : n;
}

// The length of the terminator that starts at text[at]: 2 for CR LF, else 1. A CR that is the last byte
// of text counts as a lone CR: a caller that may read more first makes sure the byte after it is known.
constexpr std::size_t length(std::string_view text, std::size_t at) noexcept {
    return text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

// Whether a line starts at text[at], 0 < at <= text.size(), given that one starts at text[0].
constexpr bool starts_line(std::string_view text, std::size_t at, bool lf) noexcept {
    const char before = text[at - 1];
    if (before == '\r') return at == text.size() || text[at] != '\n';
    return before == '\n' && (lf || (at >= 2 && text[at - 2] == '\r'));
}

// The text of the last line of `lines` (complete lines, each with its terminator, the last possibly
// without one): [start, end) of it.
struct span {
    std::size_t start, end;
};
constexpr span last_line(std::string_view lines, bool lf) noexcept {
    std::size_t end = lines.size();
    if (end > 0 && lines[end - 1] == '\r') {
        --end;
    } else if (end > 0 && lines[end - 1] == '\n' && (lf || (end > 1 && lines[end - 2] == '\r'))) {
        end -= end > 1 && lines[end - 2] == '\r' ? 2 : 1;
    }
    std::size_t start = end;
    while (start > 0 && !starts_line(lines.substr(0, end), start, lf)) --start;
    return {start, end};
}

// Where the line that starts at `from` ends, and where the next one starts: the end of text when no
// terminator follows.
inline span line_at(std::string_view text, std::size_t from, bool lf) noexcept {
    const char* end = first(text.data() + from, text.size() - from, lf);
    if (!end) return {text.size(), text.size()};
    const auto at = static_cast<std::size_t>(end - text.data());
    return {at, at + length(text, at)};
}

}  // namespace platform::line_end
