// What each writer operation should make of a file and which State codes it raises, computed plainly on
// a list of lines, one rule at a time as the operations are described (each lookup reading the file
// afresh, the deletion of a section one setting name at a time). A state of nullopt means the file is
// left byte for byte as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fuzz {

using lines = std::vector<std::string>;

// The lines, each followed by end (CR LF, or LF where a lone LF ends lines).
inline std::string join(const lines& ls, const std::string& end = "\r\n") {
    std::string out;
    for (const auto& l : ls) out += l + end;
    return out;
}

// Whether lines end with LF as LineEnds says: mode 1, or mode 2 where the file's first line end is no CR.
inline bool lf_ends(std::int16_t mode, const std::string& bytes) {
    if (mode != 2) return mode == 1;
    const auto at = bytes.find_first_of("\r\n");
    return at == std::string::npos || bytes[at] == '\n';
}

// Whether a setting line of the name reads back as that name: it holds no "=" and begins with no "[".
inline bool reads_back(const std::string& name) {
    return name.find('=') == std::string::npos && (name.empty() || name.front() != '[');
}

inline bool opens_section(const std::string& l) {
    return !l.empty() && l[0] == '[';
}

inline std::optional<std::string> name_of(const std::string& l) {
    const auto eq = l.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return l.substr(0, eq);
}

inline std::ptrdiff_t first_index(const lines& ls, const std::string& l) {
    for (std::size_t i = 0; i < ls.size(); ++i) {
        if (ls[i] == l) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// The value the lookups find: the section runs on past repeats of its header line.
inline std::optional<std::string> looked_up(const lines& ls, const std::string& header,
                                            const std::string& name) {
    const auto at = first_index(ls, header);
    if (at < 0) return std::nullopt;
    for (std::size_t i = static_cast<std::size_t>(at) + 1; i < ls.size(); ++i) {
        if (ls[i] == header) continue;
        if (opens_section(ls[i])) return std::nullopt;
        if (name_of(ls[i]) == name) return ls[i].substr(name.size() + 1);
    }
    return std::nullopt;
}

// isSetting: its answer and the codes it raises (those of the isHeader it calls first included).
inline std::pair<bool, std::vector<std::int16_t>> is_setting(const lines& ls, const std::string& header,
                                                             const std::string& name) {
    const auto at = first_index(ls, header);
    if (at < 0) return {false, {1, 1}};
    for (std::size_t i = static_cast<std::size_t>(at) + 1; i < ls.size(); ++i) {
        if (ls[i] == header) continue;
        if (opens_section(ls[i])) return {false, {2}};
        if (name_of(ls[i]) == name) return {true, {}};
    }
    return {false, {}};
}

// The lines of the first occurrence of the section, which any line beginning with "[" ends.
inline std::pair<std::size_t, std::size_t> first_occurrence(const lines& ls, std::ptrdiff_t at) {
    std::size_t end = static_cast<std::size_t>(at) + 1;
    while (end < ls.size() && !opens_section(ls[end])) ++end;
    return {static_cast<std::size_t>(at) + 1, end};
}

inline std::optional<std::string> add_setting(const lines& ls, const std::string& header,
                                              const std::string& name, const std::string& value,
                                              const std::string& end = "\r\n") {
    const auto at = first_index(ls, header);
    if (looked_up(ls, header, name) || at < 0) return std::nullopt;
    lines out = ls;
    out.insert(out.begin() + at + 1, name + "=" + value);
    return join(out, end);
}

// updateSetting's own codes once isSetting has found the setting: a second line of the name in the first
// occurrence (128), or no line there at all (2).
inline std::vector<std::int16_t> update_codes(const lines& ls, const std::string& header,
                                              const std::string& name) {
    const auto [from, to] = first_occurrence(ls, first_index(ls, header));
    int named = 0;
    for (std::size_t i = from; i < to; ++i) named += name_of(ls[i]) == name ? 1 : 0;
    if (named == 0) return {2};
    return named > 1 ? std::vector<std::int16_t>{128} : std::vector<std::int16_t>{};
}

inline std::optional<std::string> update_setting(const lines& ls, const std::string& header,
                                                 const std::string& name, const std::string& value,
                                                 const std::string& end = "\r\n") {
    if (!looked_up(ls, header, name)) return std::nullopt;
    const auto [from, to] = first_occurrence(ls, first_index(ls, header));
    for (std::size_t i = from; i < to; ++i) {
        if (name_of(ls[i]) == name) {
            lines out = ls;
            out[i] = name + "=" + value;
            return join(out, end);
        }
    }
    return std::nullopt;
}

inline std::optional<lines> delete_setting(const lines& ls, const std::string& header,
                                           const std::string& name) {
    if (first_index(ls, header) < 0 || !looked_up(ls, header, name)) return std::nullopt;
    const auto [from, to] = first_occurrence(ls, first_index(ls, header));
    lines out(ls.begin(), ls.begin() + static_cast<std::ptrdiff_t>(from));
    for (std::size_t i = from; i < to; ++i) {
        if (name_of(ls[i]) != name) out.push_back(ls[i]);
    }
    if (out.size() == to) return std::nullopt;  // nothing dropped
    out.insert(out.end(), ls.begin() + static_cast<std::ptrdiff_t>(to), ls.end());
    return out;
}

// Whether the key's lines in the first occurrence of the section (the ones updateSetting and
// deleteSetting reach) leave a line of it where the lookups still read, after a repeat of the header line
// (for an update, only where the first occurrence has none to change): then the edit is refused.
inline bool beyond_repeat(const lines& ls, const std::string& header, const std::string& name, bool update) {
    const auto at = first_index(ls, header);
    if (at < 0 || !looked_up(ls, header, name)) return false;
    const auto [from, to] = first_occurrence(ls, at);
    bool in_first = false;
    for (std::size_t i = from; i < to; ++i) in_first = in_first || name_of(ls[i]) == name;
    if (update) return !in_first;
    for (std::size_t i = to; i < ls.size(); ++i) {
        if (ls[i] == header) continue;
        if (opens_section(ls[i])) break;
        if (name_of(ls[i]) == name) return true;
    }
    return !in_first;
}

// Whether a line of the key that the edit changes (the first in the first occurrence) or removes (all of
// them there) holds a lone LF.
inline bool edits_line_feed(const lines& ls, const std::string& header, const std::string& name,
                            bool update) {
    const auto at = first_index(ls, header);
    if (at < 0) return false;
    const auto [from, to] = first_occurrence(ls, at);
    for (std::size_t i = from; i < to; ++i) {
        if (name_of(ls[i]) != name) continue;
        if (ls[i].find('\n') != std::string::npos) return true;
        if (update) return false;
    }
    return false;
}

// Whether the section's lookups find a setting whose name differs from name only by blanks around it.
inline bool near_key(const lines& ls, const std::string& header, const std::string& name) {
    auto trimmed = [](std::string t) {
        while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.erase(0, 1);
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.pop_back();
        return t;
    };
    const auto at = first_index(ls, header);
    if (at < 0) return false;
    for (std::size_t i = static_cast<std::size_t>(at) + 1; i < ls.size(); ++i) {
        if (ls[i] == header) continue;
        if (opens_section(ls[i])) break;
        const auto n = name_of(ls[i]);
        if (n && *n != name && trimmed(*n) == trimmed(name)) return true;
    }
    return false;
}

// Whether removing the section would leave two lines of another section's header with no other line
// beginning with "[" between them where a header line of the section stood: the lookups would then read
// the lines after the second as the first's.
inline bool joins_section(const lines& ls, const std::string& header) {
    std::optional<std::string> last;  // the last line beginning with "[" kept
    bool removed = false;
    for (const auto& l : ls) {
        if (l == header) {
            removed = true;
            continue;
        }
        if (!opens_section(l)) continue;
        if (removed && last && *last == l && l.size() >= 2 && l.back() == ']') return true;
        last = l;
        removed = false;
    }
    return false;
}

// The file once the section is removed: every header line `header` and the setting lines under each,
// with two blank lines before what is left.
inline std::string without_section(const lines& ls, const std::string& header, const std::string& end) {
    lines kept;
    bool inside = false;
    for (const auto& l : ls) {
        if (l == header) {
            inside = true;
            continue;
        }
        if (opens_section(l)) inside = false;
        if (inside && name_of(l)) continue;
        kept.push_back(l);
    }
    return end + end + join(kept, end);
}

// Every state deleteHeader passes through: after each nested deletion, then the final file.
inline std::vector<std::string> delete_header(const lines& ls, const std::string& header,
                                              const std::string& end = "\r\n") {
    if (first_index(ls, header) < 0) return {};
    std::vector<std::string> states;
    lines now = ls;
    for (;;) {
        const auto [from, to] = first_occurrence(now, first_index(now, header));
        std::optional<std::string> found;
        for (std::size_t i = from; i < to && !found; ++i) found = name_of(now[i]);
        if (!found) break;
        auto next = delete_setting(now, header, *found);
        if (!next) break;
        now = std::move(*next);
        states.push_back(join(now, end));
    }
    states.push_back(without_section(now, header, end));
    return states;
}

}  // namespace fuzz
