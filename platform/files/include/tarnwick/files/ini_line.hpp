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
// - a setting line holds "=" or ":" (as `name: value` in the files of many Python tools): its name is the
//   text before the first of them, its value the text after it, each without the blanks and tabs around
//   it;
// - any other line is of none of these kinds (read with bare keys, as MySQL's option files are, it is a
//   setting whose name is all of it, without the blanks around it, and whose value is empty);
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

// What separates a setting's name from its value: the first of these on the line.
inline constexpr std::string_view delimiters = "=:";

struct line_shape {
    kind what = kind::other;
    std::size_t indent = 0;
    std::string_view name;   // header: its name; setting: its name, without the blanks around it
    std::string_view value;  // setting: its value as far as the text goes, without the blanks before it
    bool backslash = false;  // the line ends with a backslash (blanks after it aside)
};

// What line (a whole line, or the start of a longer one) is in the common dialect.
constexpr line_shape shape_of(std::string_view line, bool bare_keys = false) noexcept {
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
    const std::size_t equals = line.find_first_of(delimiters);
    if (equals == std::string_view::npos) {
        if (bare_keys) {
            s.what = kind::setting;
            s.name = trimmed(line);
            s.value = line.substr(line.size());
        }
        return s;
    }
    s.what = kind::setting;
    s.name = trimmed(line.substr(0, equals));
    const std::string_view after = line.substr(equals + 1);
    s.value = after.substr(indent_of(after));
    const std::string_view tail = trimmed(after);
    s.backslash = !tail.empty() && tail.back() == '\\';
    return s;
}

// What a line is, told from its bytes given piece by piece, in order: the same kind, indent and final
// backslash as shape_of() and ends_with_backslash() of the whole line, whatever its length and however
// it is cut, with where its parts stand (names and values are not kept: a caller that needs them has
// the line's head).
class shape_scanner {
  public:
    static constexpr std::size_t npos = std::string_view::npos;

    explicit shape_scanner(bool bare_keys = false) noexcept : bare_keys_(bare_keys) {}

    struct result {
        kind what = kind::blank;
        std::size_t indent = 0;
        bool backslash = false;       // the line ends with a backslash, blanks after it aside
        std::size_t close = npos;     // a header: where its "]" stands
        std::size_t equals = npos;    // where the first "=" or ":" stands (a bare key has none)
        std::size_t value_at = npos;  // a setting: where its value starts (the line's length if empty)
        std::size_t length = 0;
    };

    void add(std::string_view piece) noexcept {
        for (const char c : piece) step(c);
    }
    // What the line given so far is, as a whole line.
    result finish() const noexcept {
        result r;
        r.indent = indent_;
        r.length = at_;
        r.equals = equals_;
        r.backslash = last_ == '\\';
        switch (state_) {
            case state::indent:
                r.what = kind::blank;
                r.backslash = false;
                break;
            case state::comment:
                r.what = kind::comment;
                break;
            case state::header_tail:
            case state::header:
                r.what = kind::header;
                r.close = close_;
                break;
            case state::bracket:
            case state::plain:
                r.what = equals_ != npos || bare_keys_ ? kind::setting : kind::other;
                if (r.what == kind::setting)
                    r.value_at = value_at_ == npos || equals_ == npos ? at_ : value_at_;
                break;
        }
        return r;
    }

  private:
    enum class state : std::uint8_t {
        indent,       // blanks so far
        comment,      // a comment line
        bracket,      // after "[": looking for a "]" after which only blanks or a comment stand
        header_tail,  // after such a "]", only blanks so far
        header,       // a header line whose comment has begun
        plain,        // any other line
    };

    void step(char c) noexcept {
        const bool blank = is_blank(c);
        if (!blank) {
            last_ = c;
            if (equals_ != npos && value_at_ == npos) value_at_ = at_;
        }
        if ((c == '=' || c == ':') && equals_ == npos) equals_ = at_;
        switch (state_) {
            case state::indent:
                if (blank) {
                    ++indent_;
                } else {
                    state_ = c == ';' || c == '#' ? state::comment : c == '[' ? state::bracket : state::plain;
                }
                break;
            case state::bracket:
                // The first "]" after which the rest decides; never the one right after the "[".
                if (c == ']' && at_ > indent_ + 1) {
                    state_ = state::header_tail;
                    close_ = at_;
                }
                break;
            case state::header_tail:
                if (c == ';' || c == '#') {
                    state_ = state::header;
                } else if (c == ']') {
                    close_ = at_;  // not that "]": this one may be
                } else if (!blank) {
                    state_ = state::bracket;
                }
                break;
            case state::comment:
            case state::header:
            case state::plain:
                break;
        }
        ++at_;
    }

    bool bare_keys_;
    state state_ = state::indent;
    std::size_t at_ = 0;
    std::size_t indent_ = 0;
    std::size_t close_ = npos;
    std::size_t equals_ = npos;
    std::size_t value_at_ = npos;
    char last_ = 0;  // the last character other than a blank
};

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
    friend constexpr bool operator==(const value_context&, const value_context&) = default;
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
