// What the writer may write. All comparisons are on the file's bytes: an argument is encoded once (in the
// file's character set, text_set.hpp) and compared with raw lines, so a name that has no form there can
// never match.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/types.hpp"

namespace penmoor::rules {

// Why the bytes of text that the writer is about to write, `what`, cannot be written: a CR would split
// it into lines of its own, and so would an LF where a lone LF may end lines (lf_may_end); elsewhere an
// LF is kept, and reads back as part of the line. Nothing when they can.
inline std::optional<std::string> unwritable(std::string_view bytes, std::string_view what, bool lf_may_end) {
    if (bytes.find('\r') != std::string_view::npos) {
        return std::string(what) + " holds a carriage return, which would split the line";
    }
    if (lf_may_end && bytes.find('\n') != std::string_view::npos) {
        return std::string(what) + " holds a line feed, which ends lines where LineEnds is 1 or 2";
    }
    return std::nullopt;
}

// Why a setting name cannot be written: as unwritable(), or it would not read back as the same name. A
// name that begins with "[" would end the section, and one that holds "=" would read back as the shorter
// name before it.
inline std::optional<std::string> unwritable_name(std::string_view bytes, bool lf_may_end) {
    if (auto why = unwritable(bytes, "the setting name", lf_may_end)) return why;
    if (!bytes.empty() && bytes.front() == '[') {
        return "the setting name begins with \"[\", so its line would end the section";
    }
    if (bytes.find('=') != std::string_view::npos) {
        return "the setting name holds \"=\", so its line would read back as another name";
    }
    return std::nullopt;
}

// Why text would not read back as itself in the common dialect: blanks or tabs around a setting's name
// or value are no part of it, a name that begins with ";" or "#" makes a comment of its line, and a value
// that ends with a backslash goes on over the next line. Nothing when it would.
inline std::optional<std::string> unwritable_common(std::string_view bytes, std::string_view what,
                                                    bool name) {
    if (!bytes.empty() && (platform::ini::is_blank(bytes.front()) || platform::ini::is_blank(bytes.back()))) {
        return std::string(what) +
               " begins or ends with a blank, which the common dialect reads as no part of it";
    }
    if (name && !bytes.empty() && (bytes.front() == ';' || bytes.front() == '#')) {
        return std::string(what) + " begins with \"" + bytes.front() + "\", which makes its line a comment";
    }
    if (!name && !bytes.empty() && bytes.back() == '\\') {
        return std::string(what) + " ends with a backslash, which would join the next line to it";
    }
    return std::nullopt;
}

// Why a section name would not read back as itself in the common dialect: its header line would end at
// an earlier "]" followed by a comment (or by nothing but blanks). Nothing when it would, or when the name
// is empty (the lines before the first header, never written as a header).
inline std::optional<std::string> unwritable_section_common(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    // Appended, not "[" + std::string(bytes) + "]", which GCC 12 takes for an overlapping copy once
    // inlined (a false -Wrestrict).
    std::string header = "[";
    header += bytes;
    header += ']';
    const auto shape = platform::ini::shape_of(header);
    if (shape.what == platform::ini::kind::header && shape.name == bytes) return std::nullopt;
    return std::string(
        "the section name holds \"]\" followed by a comment or blanks, so its header line "
        "would read back as another name");
}

// Text that the writer is about to write into the file, in the file's bytes (nothing when it has no form
// in the file's character set). A character outside that set would be written as something else: that,
// or what unwritable() refuses, is run-time error 5, raised before anything is written.
inline std::string writable(const std::optional<std::string>& bytes, const char* what, bool lf_may_end) {
    if (!bytes) {
        throw platform::runtime_error(platform::err::invalid_call,
                                      std::string(what) + " holds a character that the file cannot store");
    }
    if (auto why = unwritable(*bytes, what, lf_may_end)) {
        throw platform::runtime_error(platform::err::invalid_call, *why);
    }
    return *bytes;
}

// A setting name that the writer is about to write: writable text that also reads back as the same name
// (unwritable_name), else run-time error 5.
inline std::string writable_name(const std::optional<std::string>& bytes, bool lf_may_end) {
    std::string name = writable(bytes, "the setting name", lf_may_end);
    if (auto why = unwritable_name(name, lf_may_end))
        throw platform::runtime_error(platform::err::invalid_call, *why);
    return name;
}

}  // namespace penmoor::rules
