// Where a line reader hands the lines it passes over, and how a line is handed over in pieces.
//
// Every line comes with its terminator exactly as it stands in the file: "\r\n", "\r", "\n" (where a lone
// LF ends a line), or nothing for a last line that has none. A sink that normalises line ends ignores it; one
// that copies bytes as they stand writes it.
#pragma once

#include <string_view>

namespace platform {

// Where lines end, in a file read and in a file written.
enum class line_ends {
    crlf,  // a line ends at CR LF or a lone CR, and a lone LF stays in the line; lines are written with CR LF
    lf,    // a lone LF ends a line too; lines are written with LF
};

class line_sink {
  public:
    virtual ~line_sink() = default;
    // Whole lines as they stand in the file, each with its terminator; the last line of the file may
    // come without one.
    virtual void lines(std::string_view raw) = 0;
    // One line and its terminator.
    virtual void line(std::string_view text, std::string_view end) = 0;
    // Part of a line too long to be handed over at once; end_line() follows the last part.
    virtual void piece(std::string_view text) = 0;
    virtual void end_line(std::string_view end) = 0;
};

}  // namespace platform
