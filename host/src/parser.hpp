// The parser of the statement language (script.hpp): text to statements, or a syntax error with the
// line and column where it is.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "script.hpp"

namespace twhost {

struct syntax_error : std::runtime_error {
    syntax_error(int line_, int column_, const std::string& what)
        : std::runtime_error(what), line(line_), column(column_) {}
    int line;
    int column;  // 1-based, in bytes of the line
};

// Parses one line of text, numbered line, into its statements (none for an empty or comment line).
std::vector<statement> parse_line(const std::string& text, int line);

// Parses a whole script; the first syntax error ends the parse.
std::vector<statement> parse_script(const std::string& text);

}  // namespace twhost
