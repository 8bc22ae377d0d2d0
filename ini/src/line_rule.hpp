// What a line is: a header, a setting or nothing, and where its name and value lie. The whole rule is
// classify_exact(), for lines of bytes (loaded) and of UTF-16 units (given to InputConf) alike, so that
// another rule (trimming blanks, comment lines, continuation lines) takes its place in one spot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw_ini::detail {

enum class line_kind : std::uint8_t { ignored, header, setting };

// Offsets into the line. A header has a name only.
struct line_parts {
    line_kind kind = line_kind::ignored;
    std::size_t name_at = 0;
    std::size_t name_length = 0;
    std::size_t value_at = 0;
    std::size_t value_length = 0;
};

// The line, without its terminator, and the offset of its first "=" (npos when it has none): whoever
// finds the line's end finds that on the way.
template <class Char>
struct line_view {
    std::basic_string_view<Char> text;
    std::size_t first_equals;
};

// Nothing is trimmed and no character but "[", "]" and "=" means anything. A line of at most two units
// is nothing; a line that starts with "[" and ends with "]" is a header named by what lies between them
// (tested first, so "[a=b]" is the header "a=b"); else a line holding "=" is a setting named by what lies
// before the first "=" and valued by all after it; else nothing.
template <class Char>
line_parts classify_exact(line_view<Char> line) noexcept {
    const std::size_t length = line.text.size();
    if (length <= 2) return {};
    if (line.text.front() == Char('[') && line.text.back() == Char(']')) {
        return {line_kind::header, 1, length - 2, 0, 0};
    }
    if (line.first_equals == std::basic_string_view<Char>::npos) return {};
    return {line_kind::setting, 0, line.first_equals, line.first_equals + 1, length - line.first_equals - 1};
}

}  // namespace tw_ini::detail
