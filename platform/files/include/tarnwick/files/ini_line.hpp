// What a line of an INI file is in the common dialect, the one most INI files on Linux are written in:
// `name = value` with blanks around the name and the value, `;` and `#` comment lines, indented
// headers with a comment after them, and values that go on over continuation lines.
//
// The exact dialect is the controls' own (every character counts, no comments); each control has its
// own exact rules. The common dialect's rules are these, the same for every control and for twini:
// - a blank line holds nothing but blanks (spaces and tabs);
// - a comment line's first non-blank character is ';' or '#': it is never a setting or a header;
// - a header line is, after any blanks, "[" name "]" followed by nothing but blanks or a comment; the
//   name is all between the brackets, as it stands (blanks count), and is never empty;
// - a setting line holds "=": its name is the text before the first "=", its value the text after it,
//   each without the blanks and tabs around it;
// - any other line is of none of these kinds;
// - a line goes on with the value of the setting before it (a continuation line) when it is indented
//   deeper than that setting's line, or when the value's line before it ends with a backslash and it is
//   no setting or header line itself (a value may end with a backslash, as a Windows path does); blank
//   and comment lines between two lines of a value are inside it. The value is then its lines, each without
//   the blanks around it, joined by line feeds (blank lines inside as empty lines, comments left out).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/files/runtime_error.hpp"

namespace platform::ini {

// The controls' Dialect setting.
enum class dialect : std::int16_t { exact = 0, common = 1 };

// Run-time error 5 unless setting is a dialect.
inline void check_dialect_setting(std::int16_t setting) {
    if (setting != 0 && setting != 1) {
        throw runtime_error(err::invalid_call,
                            "Dialect is 0 (exact) or 1 (common), not " + std::to_string(setting));
    }
}

enum class kind : std::uint8_t { blank, comment, header, setting, other };

inline constexpr bool is_blank(char c) noexcept {
    return c == ' ' || c == '\t';
}

inline constexpr std::size_t indent_of(std::string_view line) noexcept {
    std::size_t i = 0;
    while (i < line.size() && is_blank(line[i])) ++i;
    return i;
}

inline constexpr std::string_view trimmed(std::string_view text) noexcept {
    const std::size_t start = indent_of(text);
    std::size_t end = text.size();
    while (end > start && is_blank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

// Whether text is nothing but blanks, or blanks and then a comment.
inline constexpr bool blank_or_comment(std::string_view text) noexcept {
    const std::size_t at = indent_of(text);
    return at == text.size() || text[at] == ';' || text[at] == '#';
}

struct line_shape {
    kind what = kind::other;
    std::size_t indent = 0;
    std::string_view name;   // header: its name; setting: its name, without the blanks around it
    std::string_view value;  // setting: its value as far as the text goes, without the blanks before it
    bool backslash = false;  // the line ends with a backslash (blanks after it aside)
};

// What line (a whole line, or the start of a longer one) is in the common dialect.
constexpr line_shape shape_of(std::string_view line) noexcept {
    line_shape s;
    s.indent = indent_of(line);
    if (s.indent == line.size()) {
        s.what = kind::blank;
        return s;
    }
    const char first = line[s.indent];
    if (first == ';' || first == '#') {
        s.what = kind::comment;
        return s;
    }
    if (first == '[') {
        // The first "]" after which only blanks or a comment stand.
        for (std::size_t close = line.find(']', s.indent + 1); close != std::string_view::npos;
             close = line.find(']', close + 1)) {
            if (close > s.indent + 1 && blank_or_comment(line.substr(close + 1))) {
                s.what = kind::header;
                s.name = line.substr(s.indent + 1, close - s.indent - 1);
                return s;
            }
        }
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return s;
    s.what = kind::setting;
    s.name = trimmed(line.substr(0, equals));
    const std::string_view after = line.substr(equals + 1);
    s.value = after.substr(indent_of(after));
    const std::string_view tail = trimmed(after);
    s.backslash = !tail.empty() && tail.back() == '\\';
    return s;
}

// Whether line (whole) ends with a backslash, blanks after it aside.
constexpr bool ends_with_backslash(std::string_view line) noexcept {
    const std::string_view t = trimmed(line);
    return !t.empty() && t.back() == '\\';
}

// Where the value of the last setting line stands, for the lines after it.
struct value_context {
    bool open = false;       // a setting's value may go on
    std::size_t indent = 0;  // the setting line's indent
    bool backslash = false;  // the value's last line ends with a backslash
};

// Steps the context over a line of this kind and indent, which ends with a backslash or not: true when
// the line goes on with the value (a continuation line). A backslash carries the value over to a line
// that is no setting or header line of its own, and not over a blank line; comment lines leave the
// context as it is.
constexpr bool continues_value(value_context& v, kind what, std::size_t indent, bool backslash) noexcept {
    if (what == kind::blank) {
        v.backslash = false;
        return false;
    }
    if (what == kind::comment) return false;
    const bool carried = v.backslash && what != kind::setting && what != kind::header;
    if (v.open && (indent > v.indent || carried)) {
        v.backslash = backslash;
        return true;
    }
    v = what == kind::setting ? value_context{true, indent, backslash} : value_context{};
    return false;
}

}  // namespace platform::ini
