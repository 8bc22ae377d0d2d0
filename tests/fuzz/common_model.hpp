// What a list of twini's operations should make of a file in the common dialect, computed plainly on the
// reading of common_lines.hpp, one rule at a time:
// - every occurrence of a section is the section, and the last setting of a key counts;
// - get KEY prints the value of the key's last setting in the section; get, each key once as
//   "name=value" with the value that counts, where the key first stands; list, each key of the section or
//   each section name once, in order ("" first when a setting stands before the first header);
// - set updates the key's last setting, keeping the line's spacing and dropping the old value's other
//   lines; adds a missing key after the last line of the section's last occurrence (before the blank and
//   comment lines that end it), indented and spaced as the section's first setting; appends a missing
//   section at the end, set off by one blank line (none in an empty file or after a blank line);
// - del KEY removes every setting of the key in the section with all lines of its value; del removes
//   each occurrence of the section whole, with the comment lines directly above its header and the blank
//   line before them, and leaves the comment lines directly above the next header there, and one blank
//   line directly above those (or above the header) unless it would now open the file or follow a
//   blank line.
// A value of several lines is written as its first line and continuation lines, each indented four
// blanks deeper than the key's line; a set leaves a key line that already holds the value's first line
// as it is. A deletion that would make a line it keeps go on with the value of a setting before the lines
// it removes fails (status 3). An operation that changes the file with --crlf or --lf
// against the file's own line ends (its first) fails (status 3). Lines that no edit touches keep their bytes,
// line ends included; lines written end as the file's lines do. Where lines end at CR LF as found, an edit of
// a line that holds a lone LF fails (status 3), and so does a read of one unless LF ends lines. Each
// operation reads the file as the earlier ones left it; the first one that fails ends the command and the
// file stays as it was.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common_lines.hpp"
#include "twini_model.hpp"

namespace fuzz::common_model {

using common::file_lines;
using common::line;
using common::reading;
using common::role;
using twini_model::failure;
using twini_model::kind;
using twini_model::names_once;
using twini_model::op;
using twini_model::outcome;

struct context {
    std::int16_t mode;  // 0 CR LF, 1 LF, 2 as found
    bool lf;            // LF ends lines
    bool existing;
    std::string end() const { return lf ? "\n" : "\r\n"; }
};

// Whether the setting at i holds a lone LF on a line of its value (its name aside): on any line that an
// edit would drop, or only on those read for the value (comment lines inside it aside).
inline bool holds_lf(const reading& r, std::size_t i, bool read = false) {
    if (r.ls[i].text.find('\n', r.ls[i].text.find_first_of("=:")) != std::string::npos) return true;
    for (std::size_t j = i + 1; j < r.value_end(i); ++j) {
        if (read && r.roles[j] == role::comment) continue;
        if (r.ls[j].text.find('\n') != std::string::npos) return true;
    }
    return false;
}

// A new setting line to go in at line `at`, indented and spaced as the section's first setting (plain
// "key=value" if none); but indented no deeper than a setting whose value is open before it (it would
// join that value), and no shallower than the next line that is no blank or comment line (which would
// join the new value).
inline std::string new_setting(const reading& r, const std::vector<std::size_t>& all, std::size_t at,
                               const std::string& key, const std::string& value) {
    std::string indent, before, after;
    char delimiter = '=';
    if (!all.empty()) {
        const std::string& t = r.ls[all.front()].text;
        const std::size_t eq = t.find_first_of("=:");
        delimiter = t[eq];
        const std::string name_part = t.substr(0, eq);
        const std::size_t start = common::indent(name_part);
        std::size_t stop = name_part.size();
        while (stop > start && common::blank(name_part[stop - 1])) --stop;
        indent = name_part.substr(0, start);
        before = name_part.substr(stop);
        after = t.substr(eq + 1, common::indent(std::string_view(t).substr(eq + 1)));
    }
    auto indent_of = [&](std::size_t i) { return r.ls[i].text.substr(0, common::indent(r.ls[i].text)); };
    if (at > 0 && (r.roles[at - 1] == role::setting || r.roles[at - 1] == role::continuation)) {
        const std::size_t open =
            r.roles[at - 1] == role::setting ? at - 1 : static_cast<std::size_t>(r.owner[at - 1]);
        if (indent.size() > common::indent(r.ls[open].text)) indent = indent_of(open);
    }
    std::size_t next = at;
    while (next < r.size() && (r.roles[next] == role::blank || r.roles[next] == role::comment)) ++next;
    if (next < r.size() && common::indent(r.ls[next].text) > indent.size()) indent = indent_of(next);
    // An empty key takes no blanks before its "=": they would indent the line.
    return indent + key + (key.empty() ? "" : before) + delimiter + (value.empty() ? "" : after) + value;
}

// The value's lines: its first, then each further one.
inline std::vector<std::string> value_lines(const std::string& value) {
    std::vector<std::string> lines{""};
    for (const char c : value) {
        if (c == '\n') {
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

// The setting line with a new value, its text up to the old value kept (no blanks left at its end); its
// further lines are the caller's.
inline std::string updated(const std::string& t, const std::string& value) {
    const std::size_t eq = t.find_first_of("=:");
    const std::string first = value_lines(value).front();
    std::string s = t.substr(0, eq + 1 + common::indent(std::string_view(t).substr(eq + 1))) + first;
    while (first.empty() && !s.empty() && common::blank(s.back())) s.pop_back();
    return s;
}

// The continuation lines of a value's further lines, indented by `indent` (four blanks deeper than the key
// line, or as the old value's first continuation line where a key line that holds the value's first
// line stays); an empty line of the value is a blank line.
inline file_lines continued(const std::string& value, const std::string& indent, const context& c) {
    file_lines ls;
    const auto lines = value_lines(value);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ls.push_back({lines[i].empty() ? "" : indent + lines[i], c.end()});
    }
    return ls;
}

// A last line without an end gets one where a line comes after it; it has none again if it ends up last.
inline void end_for_more(line& l, const context& c) {
    if (!l.end.empty()) return;
    l.end = c.end();
    l.ended_here = true;
}

inline void insert(file_lines& ls, std::size_t at, std::string text, const context& c) {
    if (at > 0) end_for_more(ls[at - 1], c);
    ls.insert(ls.begin() + static_cast<std::ptrdiff_t>(at), line{std::move(text), c.end()});
}

// A line that ends with a lone CR, and a line after it that begins with an LF (an empty line where LF
// ends lines, or a line that holds a lone LF first), would make a CR LF of the two: the CR is written as a
// CR LF. (Two such lines stand together only where an edit put them so.)
inline void keep_lines_apart(file_lines& ls) {
    for (std::size_t i = 1; i < ls.size(); ++i) {
        const std::string& next = ls[i].text.empty() ? ls[i].end : ls[i].text;
        if (ls[i - 1].end == "\r" && next.starts_with('\n')) ls[i - 1].end = "\r\n";
    }
}

inline void insert_all(file_lines& ls, std::size_t at, const file_lines& more, const context& c) {
    for (std::size_t i = 0; i < more.size(); ++i) insert(ls, at + i, more[i].text, c);
}

inline void set(file_lines& ls, const context& c, const op& o) {
    const reading r(ls);
    const auto s = common::find_section(r, o.section);
    if (!s.found) {
        if (c.existing) throw failure{1};
        if (!ls.empty()) {
            end_for_more(ls.back(), c);
            if (!common::all_blank(ls.back().text)) ls.push_back({"", c.end()});
        }
        ls.push_back({"[" + o.section + "]", c.end()});
        ls.push_back({o.key + "=" + value_lines(o.value).front(), c.end()});
        for (const line& l : continued(o.value, "    ", c)) ls.push_back(l);
        return;
    }
    const auto all = common::settings(r, s);
    for (const auto& [name, i] : common::keys(r, s)) {
        if (name != o.key) continue;
        if (c.mode == 2 && holds_lf(r, i)) throw failure{3};
        if (r.value(i) == o.value) return;
        // A first line that already holds the value's first line stays as it is; the lines after it go,
        // and the value's further lines come in their place.
        const std::string t = r.ls[i].text;
        const bool kept = common::trim(std::string_view(t).substr(t.find_first_of("=:") + 1)) ==
                          value_lines(o.value).front();
        if (!kept) ls[i] = {updated(t, o.value), c.end()};
        // Blank and comment lines after the value's last line are no part of it: they stay.
        std::size_t end = r.value_end(i);
        while (end > i + 1 && r.roles[end - 1] != role::continuation) --end;
        std::string indent = t.substr(0, common::indent(t)) + "    ";
        for (std::size_t j = i + 1; kept && j < end; ++j) {
            if (r.roles[j] != role::continuation) continue;
            indent = r.ls[j].text.substr(0, common::indent(r.ls[j].text));
            break;
        }
        ls.erase(ls.begin() + static_cast<std::ptrdiff_t>(i + 1),
                 ls.begin() + static_cast<std::ptrdiff_t>(end));
        insert_all(ls, i + 1, continued(o.value, indent, c), c);
        return;
    }
    if (c.existing) throw failure{1};
    // After the last line of the last occurrence.
    std::size_t at = s.parts.back().first;
    for (std::size_t i = s.parts.back().first; i < s.end(); ++i) {
        if (r.roles[i] != role::blank && r.roles[i] != role::comment) at = i + 1;
    }
    const std::string made = new_setting(r, all, at, o.key, value_lines(o.value).front());
    insert(ls, at, made, c);
    insert_all(ls, at + 1, continued(o.value, made.substr(0, common::indent(made)) + "    ", c), c);
}

// The lines of r that a deletion keeps, in order; fails (status 3) where one of them would then go on
// with the value of a setting before the lines removed, though it did not: that value would change.
inline file_lines kept_lines(const reading& r, const std::vector<bool>& drop) {
    file_lines kept;
    std::vector<std::size_t> from;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (drop[i]) continue;
        kept.push_back(r.ls[i]);
        from.push_back(i);
    }
    const reading now(kept);
    for (std::size_t j = 0; j < now.size(); ++j) {
        if (now.roles[j] == role::continuation && r.roles[from[j]] != role::continuation) throw failure{3};
    }
    return kept;
}

inline void del_key(file_lines& ls, const context& c, const op& o) {
    const reading r(ls);
    const auto s = common::find_section(r, o.section);
    if (!s.found) throw failure{1};
    std::vector<bool> drop(ls.size());
    bool any = false;
    for (const std::size_t i : common::settings(r, s)) {
        if (common::name_of(r.ls[i].text) != o.key) continue;
        if (c.mode == 2 && holds_lf(r, i)) throw failure{3};
        std::fill(drop.begin() + static_cast<std::ptrdiff_t>(i),
                  drop.begin() + static_cast<std::ptrdiff_t>(r.value_end(i)), true);
        any = true;
    }
    if (!any) throw failure{1};
    ls = kept_lines(r, drop);
}

inline void del_section(file_lines& ls, const op& o) {
    const reading r(ls);
    if (!common::find_section(r, o.section).found) throw failure{1};
    std::vector<bool> drop(ls.size()), unless_first(ls.size());
    auto is = [&](std::size_t i, role what) { return r.roles[i] == what; };
    for (std::size_t i = 0; i < r.size();) {
        const bool opens = o.section.empty() ? i == 0 : r.is_header(i) && r.header(i) == o.section;
        if (!opens) {
            ++i;
            continue;
        }
        const std::size_t first = o.section.empty() ? i : i + 1;
        std::size_t end = first;
        while (end < r.size() && !(r.is_header(end) && r.header(end) != o.section)) ++end;
        // The comment lines directly above the next header stay with it, and so does one blank line
        // directly above them, unless nothing is left above it or a blank line is.
        std::size_t keep = end;
        if (end < r.size()) {
            while (keep > first && is(keep - 1, role::comment)) --keep;
            if (keep > first && is(keep - 1, role::blank)) unless_first[--keep] = true;
        }
        std::fill(drop.begin() + static_cast<std::ptrdiff_t>(i),
                  drop.begin() + static_cast<std::ptrdiff_t>(keep), true);
        // The comment lines directly above the header, and the blank line before them.
        std::size_t above = i;
        while (above > 0 && is(above - 1, role::comment) && !drop[above - 1]) drop[--above] = true;
        if (above > 0 && is(above - 1, role::blank) && !drop[above - 1]) drop[above - 1] = true;
        i = std::max(end, i + 1);
    }
    bool after_blank = true;  // nothing kept yet, or a blank line last
    for (std::size_t i = 0; i < ls.size(); ++i) {
        drop[i] = drop[i] || (unless_first[i] && after_blank);
        if (!drop[i]) after_blank = common::all_blank(ls[i].text);
    }
    ls = kept_lines(r, drop);
}

inline void apply(file_lines& ls, const context& c, const op& o, std::string& out) {
    const reading r(ls);
    const auto s = common::find_section(r, o.section);
    const auto all = s.found ? common::settings(r, s) : std::vector<std::size_t>{};
    auto read_check = [&](std::size_t i) {
        if (c.mode != 1 && holds_lf(r, i, true)) throw failure{3};
    };
    // A name printed that holds a line feed would look like two lines.
    auto name_check = [](const std::string& name) {
        if (name.find('\n') != std::string::npos) throw failure{3};
    };
    switch (o.what) {
        case kind::get_key:
            if (!s.found) throw failure{1};
            for (const auto& [name, i] : common::keys(r, s)) {
                if (name != o.key) continue;
                read_check(i);
                out += r.value(i) + "\n";
                return;
            }
            throw failure{1};
        case kind::get_section:
            if (!s.found) throw failure{1};
            for (const std::size_t i : all) read_check(i);
            for (const std::size_t i : all) name_check(common::name_of(r.ls[i].text));
            for (const auto& [name, i] : common::keys(r, s)) {
                std::string value = r.value(i);
                for (std::size_t at = value.find('\n'); at != std::string::npos;
                     at = value.find('\n', at + 2))
                    value.insert(at + 1, "\t");  // a further line of a value after a tab
                out += name + "=" + value + "\n";
            }
            return;
        case kind::list:
        case kind::list_section: {
            if (o.what == kind::list_section && !s.found) throw failure{1};
            names_once once(out);
            if (o.what == kind::list_section) {
                // The values are read too, though not printed.
                for (const std::size_t i : all) read_check(i);
                for (const std::size_t i : all) name_check(common::name_of(r.ls[i].text));
                for (const std::size_t i : all) once(common::name_of(r.ls[i].text));
                return;
            }
            for (std::size_t i = 0; i < r.size(); ++i) {
                if (r.is_header(i)) break;
                if (r.roles[i] == role::setting) {
                    once("");
                    break;
                }
            }
            for (std::size_t i = 0; i < r.size(); ++i) {
                if (r.is_header(i)) name_check(r.header(i));
            }
            for (std::size_t i = 0; i < r.size(); ++i) {
                if (r.is_header(i)) once(r.header(i));
            }
            return;
        }
        case kind::set:
            return set(ls, c, o);
        case kind::del_key:
            return del_key(ls, c, o);
        case kind::del_section:
            return del_section(ls, o);
    }
}

// file: the file's bytes; bom: whether a leading UTF-8 byte-order mark is passed over (and kept).
inline outcome run(const std::string& file, std::int16_t mode, bool existing, bool bom,
                   const std::vector<op>& ops) {
    static constexpr std::string_view mark = "\xEF\xBB\xBF";
    const bool marked = bom && file.starts_with(mark);
    const std::string body = marked ? file.substr(mark.size()) : file;
    const context c{mode, fuzz::lf_ends(mode, body), existing};
    // Line ends chosen against the file's own would mix two kinds: the first operation that changes the
    // file is refused.
    const auto first_end = file.find_first_of("\r\n");
    const bool mixes =
        mode != 2 && first_end != std::string::npos && (file[first_end] == '\n') != (mode == 1);
    file_lines ls = common::split(body, c.lf);
    outcome result;
    try {
        for (const op& o : ops) {
            const std::string was = common::join(ls);
            apply(ls, c, o, result.out);
            if (mixes && common::join(ls) != was) throw failure{3};
        }
    } catch (const failure& f) {
        return {f.status, {}, file};
    }
    if (!ls.empty() && ls.back().ended_here) ls.back().end.clear();
    keep_lines_apart(ls);
    result.file = (marked ? std::string(mark) : std::string()) + common::join(ls);
    return result;
}

}  // namespace fuzz::common_model
