#include "rules.hpp"

#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/utf8.hpp"

namespace penmoor::rules {
namespace {

namespace ini = platform::ini;

std::string quoted(std::string_view text) {
    // Appended: "'" + std::string(text) is a false -Wrestrict of GCC 12 once inlined.
    std::string q = "'";
    q += text;
    q += '\'';
    return q;
}

[[noreturn]] void refuse(cause why, const std::string& message) {
    throw refusal(why, message);
}

std::string what_of(part what) {
    return std::string(name_of(what));
}

// The key and section an edit is about, for messages: "key 'k' of section 'S'" or "section 'S'".
std::string about(const subject& s) {
    if (s.key) return "key " + quoted(*s.key) + " of section " + quoted(s.section);
    return "section " + quoted(s.section);
}

// A value's lines after its first, each to be read back from a continuation line: not empty at the end,
// no blanks around it, no comment. (The first line is checked as a one-line value is.)
void check_continued(std::string_view rest) {
    for (std::size_t at = 0;;) {
        const std::size_t end = std::min(rest.find('\n', at), rest.size());
        const std::string_view line = rest.substr(at, end - at);
        const bool last = end == rest.size();
        if (last && ini::trimmed(line).empty()) {
            refuse(cause::not_read_back,
                   "the value ends with an empty line, which no continuation line keeps");
        }
        if (!line.empty() && (ini::is_blank(line.front()) || ini::is_blank(line.back()))) {
            refuse(cause::not_read_back,
                   "a line of the value begins or ends with a blank, which the common "
                   "dialect reads as no part of it");
        }
        if (!line.empty() && (line.front() == ';' || line.front() == '#')) {
            refuse(cause::not_read_back, "a line of the value begins with \"" + std::string(1, line.front()) +
                                             "\", which would make a comment of it");
        }
        if (last) return;
        at = end + 1;
    }
}

}  // namespace

std::string_view name_of(part what) {
    switch (what) {
        case part::section:
            return "the section name";
        case part::key:
            return "the key";
        case part::value:
            break;
    }
    return "the value";
}

std::string bytes_of_utf8(std::string_view utf8, part what, platform::encoding set) {
    if (const std::size_t bad = platform::invalid_utf8_at(utf8); bad != std::string_view::npos) {
        refuse(cause::not_utf8, what_of(what) + ": " + platform::not_utf8(utf8, bad));
    }
    if (set == platform::encoding::utf8) return std::string(utf8);
    try {
        return *platform::cp1252::encode(platform::file_text_from_utf8(utf8));
    } catch (const platform::runtime_error& e) {
        refuse(cause::no_byte, what_of(what) + " " + quoted(utf8) + ": " + std::string(e.detail()));
    }
}

std::string bytes_of_text(const platform::string& text, part what, platform::encoding set) {
    if (auto bytes = platform::codec::encode(text, set)) return std::move(*bytes);
    refuse(cause::no_byte, what_of(what) + " holds a character that the file cannot store (" +
                               (set == platform::encoding::utf8 ? "UTF-8" : "Windows-1252") + ")");
}

void check_writable(std::string_view bytes, part what, const platform::format& format) {
    const std::string name = what_of(what);
    if (bytes.find('\r') != std::string_view::npos) {
        refuse(cause::line_break, name + " holds a carriage return, which would split its line");
    }
    const std::size_t lf = bytes.find('\n');
    const bool continued = what == part::value && format.common() && lf != std::string_view::npos;
    if (lf != std::string_view::npos && format.lf_may_end() && !continued) {
        refuse(cause::line_break, name + " holds a line feed, which would end its line");
    }
    if (what == part::key) {
        if (!bytes.empty() && bytes.front() == '[') {
            refuse(cause::not_read_back, name + " begins with \"[\", so its line would end the section");
        }
        if (bytes.find('=') != std::string_view::npos) {
            refuse(cause::not_read_back, name + " holds \"=\", so its line would read back as another key");
        }
        if (format.common() && bytes.find(':') != std::string_view::npos) {
            refuse(cause::not_read_back, name + " holds \":\", so its line would read back as another key");
        }
    }
    if (!format.common()) return;
    if (what == part::section) {
        if (bytes.empty()) return;  // the lines before the first header, never written as a header
        // Appended: "[" + std::string(bytes) + "]" is a false -Wrestrict of GCC 12 once inlined.
        std::string header = "[";
        header += bytes;
        header += ']';
        const ini::line_shape shape = ini::shape_of(header);
        if (shape.what != ini::kind::header || shape.name != bytes) {
            refuse(cause::not_read_back,
                   name +
                       " holds \"]\" followed by a comment or blanks, so its header line "
                       "would read back as another name");
        }
        return;
    }
    const std::string_view first = continued ? bytes.substr(0, lf) : bytes;
    const std::string_view last = continued ? bytes.substr(bytes.rfind('\n') + 1) : bytes;
    if ((!first.empty() && ini::is_blank(first.front())) || (!last.empty() && ini::is_blank(last.back())) ||
        (continued && !first.empty() && ini::is_blank(first.back()))) {
        refuse(cause::not_read_back,
               name + " begins or ends with a blank, which the common dialect reads as no part of it");
    }
    if (what == part::key && !bytes.empty() && (bytes.front() == ';' || bytes.front() == '#')) {
        refuse(cause::not_read_back, name + " begins with \"" + std::string(1, bytes.front()) +
                                         "\", which makes its line a comment");
    }
    if (what == part::value && !last.empty() && last.back() == '\\') {
        refuse(cause::not_read_back, name + " ends with a backslash, which would join the next line to it");
    }
    if (continued) check_continued(bytes.substr(lf + 1));
}

std::string value_lines(std::string_view value, std::string_view indent, std::string_view end) {
    std::string lines;
    for (std::size_t at = 0;;) {
        const std::size_t stop = std::min(value.find('\n', at), value.size());
        if (at > 0) {
            lines += end;
            if (stop > at) lines += indent;  // an empty line of the value is a blank line
        }
        lines += value.substr(at, stop - at);
        if (stop == value.size()) return lines;
        at = stop + 1;
    }
}

void check_edit(edit what, const findings& found, const platform::format& format, platform::line_ends ends,
                const subject& s) {
    if (found.line_feed && found.changed && format.ends == platform::line_ends_setting::as_found &&
        ends == platform::line_ends::crlf) {
        refuse(cause::hidden_line, "a line of " + about(s) +
                                       " goes on past a lone line feed, which looks like the end of a line; "
                                       "edited as lines ending with CR LF, it would take the text after it "
                                       "along");
    }
    if (found.beyond_repeat) {
        refuse(cause::beyond_repeat, about(s) + " stands after a repeat of the line '[" +
                                         std::string(s.section) + "]', which edits do not reach");
    }
    if (found.joins_value) {
        refuse(cause::joins_value, "deleting " + about(s) +
                                       " would join the line after it to the value of the key before it (it "
                                       "is indented deeper, or that value ends with a backslash)");
    }
    if (found.joins_section) {
        refuse(cause::joins_section, "deleting " + about(s) +
                                         " would join the lines after it to the section before it, whose "
                                         "header line stands there again");
    }
    // (An add of a key the lookups find adds nothing.)
    if (what == edit::add && found.near_key && found.setting != search::found && !format.common() &&
        format.ends == platform::line_ends_setting::as_found) {
        refuse(cause::second_key, "the section has a key that differs from " + quoted(*s.key) +
                                      " only by the blanks around it: a line of this one would read as a "
                                      "second line of that key where blanks around names do not count");
    }
}

void check_line_ends(const platform::format& format, platform::file& f) {
    if (!format.common() || format.ends == platform::line_ends_setting::as_found) return;
    const std::optional<platform::line_ends> own = platform::first_line_end(f);
    if (!own) return;
    const bool lf = format.ends == platform::line_ends_setting::lf;
    if (lf == (*own == platform::line_ends::lf)) return;
    refuse(cause::mixed_line_ends, std::string("the file's lines end with ") + (lf ? "CR LF" : "LF") +
                                       ", and lines written with " + (lf ? "LF" : "CR LF") +
                                       " would mix the two");
}

}  // namespace penmoor::rules
