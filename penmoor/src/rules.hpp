// What the writer's core refuses, for every door alike: text that cannot be written, and edits whose pass
// found that they would damage the file. Each check throws the refusal (refusal.hpp) before anything
// changes; the doors only give it in their own words.
//
// Text (in the file's bytes; messages name it as the caller gave it, in UTF-8):
// - a CR would split its line, and so would an LF where an LF may end lines; elsewhere an LF stays in
//   its line, as the format has it. In the common dialect a value of several lines is written as
//   continuation lines instead: each of its lines must read back as itself (no blanks around it, no
//   comment, no empty last line);
// - a character that the file's character set has no byte for is refused, never replaced;
// - a key must read back as itself: one that begins with "[" would end the section, one that holds "="
//   would read back as the shorter name before it; in the common dialect also blanks around a key or a
//   value, a key that begins with ";" or "#" (a comment), a value that ends with a backslash (it would
//   take the next line in), and a section name whose header line would end at an earlier "]".
// Edits:
// - hidden_line: where lines end as found and the file's end with CR LF, a line that the edit changes or
//   removes holds a lone LF, after which text looks like a line of its own that would go with it;
// - beyond_repeat: in the exact dialect, the key the lookups find stands after a repeat of its section's
//   header line, which the edits do not reach;
// - joins_value: a deletion would make a line it keeps go on with the value of the key before it;
// - joins_section: a deletion would leave two header lines of one section with nothing between them
//   that begins another, so the lines after the second would join the first;
// - mixed_line_ends: in the common dialect, the lines written would end otherwise than the file's own
//   (line ends chosen against what the file has);
// - second_key: in the exact dialect with line ends as found, a key added beside one whose name differs
//   only by the blanks around it, which the common dialect reads as a second line of the same key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "refusal.hpp"
#include "stages.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/types.hpp"

namespace penmoor::rules {

enum class part : std::uint8_t { section, key, value };

// How messages name a part: "the section name", "the key", "the value".
std::string_view name_of(part what);

// Text in the file's character set: a program's UTF-8, or a control's string. Refused (not_utf8, no_byte)
// where it has no bytes there.
std::string bytes_of_utf8(std::string_view utf8, part what, platform::encoding set);
std::string bytes_of_text(const platform::string& text, part what, platform::encoding set);

// Refuses bytes that cannot be written as `what` in a file of that format.
void check_writable(std::string_view bytes, part what, const platform::format& format);

// A value as the lines that hold it: the common dialect writes each line of a value after its first as
// a continuation line, indented by `indent` and the line ends of the file, `end`.
std::string value_lines(std::string_view value, std::string_view indent, std::string_view end);

// What an edit does, for its verdict.
enum class edit : std::uint8_t { add, change, remove_key, remove_section };

// What the verdicts need of the file and the edit's subject (names in UTF-8, for messages).
struct subject {
    std::string_view section;
    std::optional<std::string_view> key;
};

// Refuses the edit from what its pass found, in a file of that format whose lines end as `ends`.
void check_edit(edit what, const findings& found, const platform::format& format, platform::line_ends ends,
                const subject& s);

// Refuses, in the common dialect, an edit that changes the file with line ends chosen against the file's
// own (f, the file as the edit found it, has some: a file with no line end yet takes any).
void check_line_ends(const platform::format& format, platform::file& f);

}  // namespace penmoor::rules
