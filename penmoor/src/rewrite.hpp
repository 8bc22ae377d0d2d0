// The temporary-file rewrite: the one way the writer changes lines of its bound file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/line_writer.hpp"

namespace penmoor {

// What a rewriting operation does to each line of the file.
class copy_rule {
public:
    // The lines a rule copies unchanged without looking at them, from the current line on: none (the
    // rule sees every line), those before the first line equal to `line` (which the rule then sees), or
    // all that remain. Passing lines over lets the copy run at the speed of memchr rather than line by
    // line.
    struct passage {
        enum { none, until, rest } what = none;
        std::string_view line = {};
    };
    static passage until(const std::optional<std::string>& line) {
        return line ? passage{passage::until, *line} : passage{passage::rest};
    }

    virtual ~copy_rule() = default;
    virtual passage passing() const { return {}; }
    // Writes what takes the line's place in the copy: nothing, the line itself, or other lines.
    virtual void line(std::string_view text, platform::line_writer& out) = 0;
    // Called once the copy is complete and flushed, before it replaces the file. False abandons the
    // copy and leaves the file as it is (the operation found nothing to change).
    virtual bool finish() { return true; }
};

struct rewrite_options {
    // Write one line holding CR LF before the first line of the file, so that the copy starts with two
    // empty lines.
    bool leading_break = false;
};

// Copies the file at path line by line through rule into path + ".twtemp" and puts the copy in the
// file's place. Returns whether the file was replaced (rule.finish()). See rewrite.cpp for the sequence
// and for what a failure leaves behind: never a missing or partial file.
bool rewrite(const std::string& path, copy_rule& rule, rewrite_options options = {});

// Appends text to the file at path in place, under the same lock as a rewrite. On failure the file is
// cut back to its old length.
void append(const std::string& path, std::string_view text);

}  // namespace penmoor
