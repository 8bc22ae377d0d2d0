// The common dialect's reading of a file, stated plainly for the fuzz model (common_model.hpp): the file
// as a list of lines with their own line ends, what each line is, which lines carry on a setting's value,
// and the sections as the lookups read them. Written from the format's rules, line by line:
// - a blank line holds only spaces and tabs; a comment line's first non-blank is ';' or '#';
// - a header is, after blanks, "[" name "]" with only blanks or a comment after it (the first "]" that
//   allows that), the name as it stands and never empty;
// - any other line holding "=" or ":" is a setting: name before the first of them, value after it, both
//   trimmed;
// - a line carries on the value of the setting before it when it is indented deeper than the setting's
//   line, or when the value's line before it ends with a backslash and it is no setting or header; blank
//   and comment lines between two lines of a value are inside it (a blank line as an empty line of the
//   value, so a backslash carries nothing over it; comments are no lines of the value);
// - the lines before the first header are the section ""; every occurrence of a section is the section
//   (from a header of its name up to a header of another), and the last setting of a name in it counts.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz::common {

struct line {
    std::string text;
    std::string end;          // "\r\n", "\r", "\n", or "" for a last line without one
    bool ended_here = false;  // a last line without an end, given one for a line that an edit put after it
};
using file_lines = std::vector<line>;

// The lines of bytes: CR LF and a lone CR end lines, and a lone LF where LF ends lines (lf).
inline file_lines split(std::string_view bytes, bool lf) {
    file_lines ls;
    line current;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            current.end = "\r\n";
            ++i;
        } else if (c == '\r' || (lf && c == '\n')) {
            current.end = std::string(1, c);
        } else {
            current.text += c;
            continue;
        }
        ls.push_back(std::move(current));
        current = {};
    }
    if (!current.text.empty()) ls.push_back(std::move(current));
    return ls;
}

inline std::string join(const file_lines& ls) {
    std::string out;
    for (const auto& l : ls) out += l.text + l.end;
    return out;
}

inline bool blank(char c) {
    return c == ' ' || c == '\t';
}

inline std::size_t indent(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && blank(t[i])) ++i;
    return i;
}

inline std::string trim(std::string_view t) {
    std::size_t from = indent(t), to = t.size();
    while (to > from && blank(t[to - 1])) --to;
    return std::string(t.substr(from, to - from));
}

inline bool all_blank(std::string_view t) {
    return indent(t) == t.size();
}

inline bool comment_or_blank(std::string_view t) {
    const std::size_t at = indent(t);
    return at == t.size() || t[at] == ';' || t[at] == '#';
}

enum class role { blank, comment, header, setting, continuation, other };

// A header's name, when the line is one.
inline std::optional<std::string> header_name(std::string_view t) {
    const std::size_t open = indent(t);
    if (open == t.size() || t[open] != '[') return std::nullopt;
    for (std::size_t close = open + 2; close < t.size(); ++close) {
        if (t[close] == ']' && comment_or_blank(t.substr(close + 1))) {
            return std::string(t.substr(open + 1, close - open - 1));
        }
    }
    return std::nullopt;
}

// What the line is on its own, before the lines around it are looked at.
inline role role_of(std::string_view t) {
    if (all_blank(t)) return role::blank;
    if (comment_or_blank(t)) return role::comment;
    if (header_name(t)) return role::header;
    return t.find_first_of("=:") != std::string_view::npos ? role::setting : role::other;
}

inline std::string name_of(std::string_view t) {
    return trim(t.substr(0, t.find_first_of("=:")));
}

inline bool ends_with_backslash(std::string_view t) {
    const std::string s = trim(t);
    return !s.empty() && s.back() == '\\';
}

// The whole file read: each line's role, and for a continuation line or a blank or comment line inside a
// value, the setting line whose value it is part of.
struct reading {
    file_lines ls;
    std::vector<role> roles;
    std::vector<std::ptrdiff_t> owner;

    explicit reading(file_lines lines) : ls(std::move(lines)), roles(ls.size()), owner(ls.size(), -1) {
        std::ptrdiff_t current = -1;  // the setting whose value may go on
        std::size_t depth = 0;
        bool backslash = false;
        std::vector<std::size_t> between;  // blank and comment lines since the value's last line
        for (std::size_t i = 0; i < ls.size(); ++i) {
            const std::string& t = ls[i].text;
            const role r = role_of(t);
            roles[i] = r;
            if (current >= 0) {
                if (r == role::blank || r == role::comment) {
                    // A blank line is an (empty) line of the value where it is inside it: a backslash
                    // before it carries nothing over it.
                    backslash = backslash && r == role::comment;
                    between.push_back(i);
                    continue;
                }
                if (indent(t) > depth || (backslash && r != role::setting && r != role::header)) {
                    for (const std::size_t b : between) owner[b] = current;
                    between.clear();
                    roles[i] = role::continuation;
                    owner[i] = current;
                    backslash = ends_with_backslash(t);
                    continue;
                }
                current = -1;
                between.clear();
            }
            if (r == role::setting) {
                current = static_cast<std::ptrdiff_t>(i);
                depth = indent(t);
                backslash = ends_with_backslash(t);
            }
        }
    }

    std::size_t size() const { return ls.size(); }
    bool is_header(std::size_t i) const { return roles[i] == role::header; }
    std::string header(std::size_t i) const { return *header_name(ls[i].text); }

    // One past the last line of the setting at i (its continuation lines and the lines inside its value).
    std::size_t value_end(std::size_t i) const {
        std::size_t end = i + 1;
        while (end < size() && owner[end] == static_cast<std::ptrdiff_t>(i)) ++end;
        return end;
    }

    // The setting's value: its lines trimmed and joined by LF, blank lines inside as empty lines.
    std::string value(std::size_t i) const {
        const std::string& t = ls[i].text;
        std::string v = trim(std::string_view(t).substr(t.find_first_of("=:") + 1));
        for (std::size_t j = i + 1; j < value_end(i); ++j) {
            if (roles[j] == role::comment) continue;
            v += "\n" + (roles[j] == role::blank ? std::string() : trim(ls[j].text));
        }
        return v;
    }
};

// The section: each of its occurrences, the lines after a header of its name up to a header of another
// name (or, for "", the lines before the first header).
struct section_span {
    bool found = false;
    std::vector<std::pair<std::size_t, std::size_t>> parts;  // [begin, end) of each occurrence
    std::size_t begin() const { return parts.front().first; }
    std::size_t end() const { return parts.back().second; }  // of the last occurrence
};

inline section_span find_section(const reading& r, const std::string& name) {
    section_span s;
    if (name.empty()) {
        std::size_t i = 0;
        while (i < r.size() && !r.is_header(i)) ++i;
        s.found = true;
        s.parts.emplace_back(0, i);
        return s;
    }
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (!(r.is_header(i) && r.header(i) == name)) continue;
        std::size_t end = i + 1;
        while (end < r.size() && !r.is_header(end)) ++end;
        s.found = true;
        s.parts.emplace_back(i + 1, end);
        i = end - 1;
    }
    return s;
}

// The setting lines of the section, in order, every occurrence.
inline std::vector<std::size_t> settings(const reading& r, const section_span& s) {
    std::vector<std::size_t> found;
    for (const auto& [begin, end] : s.parts) {
        for (std::size_t i = begin; i < end; ++i) {
            if (r.roles[i] == role::setting) found.push_back(i);
        }
    }
    return found;
}

// The section's keys, each once where it first stands, with the line of its last setting (the one that
// counts).
inline std::vector<std::pair<std::string, std::size_t>> keys(const reading& r, const section_span& s) {
    std::vector<std::pair<std::string, std::size_t>> all;
    for (const std::size_t i : settings(r, s)) {
        const std::string n = name_of(r.ls[i].text);
        auto at = std::find_if(all.begin(), all.end(), [&](const auto& k) { return k.first == n; });
        if (at == all.end()) {
            all.emplace_back(n, i);
        } else {
            at->second = i;
        }
    }
    return all;
}

}  // namespace fuzz::common
