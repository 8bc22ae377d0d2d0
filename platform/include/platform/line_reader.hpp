// Reads a file one line at a time through a caller's buffer.
//
// A line ends at CR LF or at a lone CR; the terminator is not part of the line, and a lone LF stays in
// the text. A final line without a terminator is a line; a file that ends with a terminator has no empty
// line after it. A CR LF split across two fills of the buffer is one terminator. A line longer than the
// buffer is gathered in memory of the reader's own, so lines may have any length.
//
// A short read of a regular file marks its end, so a file smaller than the buffer costs one read call.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/file.hpp"
#include "platform/line_sink.hpp"

namespace platform {

class line_reader {
public:
    line_reader(file& source, std::span<char> buffer) noexcept : source_(source), buffer_(buffer) {}

    // The next line, valid until the next call; false at the end of the file. Read errors throw.
    bool next(std::string_view& line);

    // Passes over lines up to the first line equal to text, which it consumes: true when there is one,
    // false at the end of the file. The lines passed over go to skipped (when given), in order. Looks
    // only at the places where text's first byte occurs, so it runs at the speed of memchr rather than
    // line by line.
    bool skip_to(std::string_view text, line_sink* skipped = nullptr);

    // Passes every remaining line to skipped.
    void skip_rest(line_sink& skipped) { pass(nullptr, &skipped); }

private:
    bool fill();
    void compact();
    bool pass(const std::string_view* text, line_sink* skipped);
    void hand_over(std::size_t from, std::size_t to, line_sink* skipped);

    file& source_;
    std::span<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool skip_lf_ = false;   // the last line ended with a CR at the very end of the buffered data
    bool long_out_ = false;  // long_ was handed out and is cleared on the next call
    std::string long_;       // the head of a line that did not fit in the buffer
};

}  // namespace platform
