// Reads a file one line at a time through a caller's buffer.
//
// A line ends at CR LF or at a lone CR, and with line_ends::lf also at a lone LF; otherwise a lone LF
// stays in the text. The terminator is not part of the line. A final line without a terminator is a line; a
// file that ends with a terminator has no empty line after it. A CR LF split across two fills of the buffer
// is one terminator: a CR that is the last byte read ends no line until the byte after it is known. Only a
// read that returns nothing ends the file: a short read is just a short read. Reads are positioned (pread),
// so several readers may share one open file, and the file's own offset is left alone.
//
// Lines are taken in one of three ways:
// - whole, with next(): a line longer than the buffer is gathered in memory of the reader's own (for a
//   caller that keeps every line anyway);
// - streamed, with head(): the start of a line, as much of it as the caller needs to decide what to do
//   with it, then copy_line(), skip_line() or append_rest() for the rest, which is never held whole:
//   memory stays at the buffer (and what the caller asks to see) whatever the length of the line;
// - passed over, with skip_to() and pass_all(): whole runs of lines go to a sink as they stand, and only
//   the places where a wanted line's first byte occurs are looked at, at the speed of memchr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_sink.hpp"

namespace platform {

struct line_head {
    std::string_view text;  // the start of the line, or all of it when whole
    bool whole = false;     // text is the whole line
};

class line_reader {
  public:
    static constexpr std::size_t all = std::numeric_limits<std::size_t>::max();

    // The buffer holds at least two bytes (a CR and the byte after it).
    line_reader(file& source, std::span<char> buffer, line_ends ends = line_ends::crlf) noexcept
        : source_(source), buffer_(buffer), lf_ends_(ends == line_ends::lf) {}

    // Starts reading at byte `at` of the file instead of its first (to pass over a byte-order mark);
    // before anything is read.
    void start_at(off_t at) noexcept { offset_ = at; }

    // The next whole line, valid until the next call; false at the end of the file. Read errors throw.
    bool next(std::string_view& line);

    // The start of the next line, valid until the next call: the whole line when it fits in the buffer
    // or is at most `want` bytes long, otherwise a head of at least `want` bytes (a head longer than the
    // buffer is gathered aside). False at the end of the file. A line left unfinished is skipped by the
    // next call of head(), next(), skip_to() or pass_all().
    bool head(line_head& out, std::size_t want);
    // Makes the head of the line whose head was taken at least `want` bytes long (or the whole line),
    // gathered aside; out is the new head, as head() gives it.
    void extend_head(line_head& out, std::size_t want);
    // Whether byte c occurs in the line after its head, looked for ahead in the file without moving on.
    bool rest_contains(char c);
    // Whether the line whose head was taken is the file's last, without a line end (looked at ahead in
    // the file without moving on).
    bool unended();
    // Gives the rest of the line whose head was taken to look(piece), in order, read ahead in the file
    // without moving on, until the line ends or look returns false.
    void look_ahead(const std::function<bool(std::string_view)>& look);
    // Where the line after the one whose head was taken starts (that line is finished: its rest skipped),
    // or where the next line starts when no head is out.
    off_t next_line_offset();
    // Hands the line whose head was taken to sink whole: its head, the rest, and its end.
    void copy_line(line_sink& sink);
    // Drops the rest of the line whose head was taken.
    void skip_line();
    // Appends the rest of the line whose head was taken to out.
    void append_rest(std::string& out);
    // Hands the rest of the line whose head was taken to each(piece), in order.
    template <class Each>
    void each_rest(Each&& each);
    // The file offset where the line whose head was taken starts.
    off_t line_offset() const noexcept { return line_offset_; }

    // Passes over lines up to the first line equal to text, which it consumes: true when there is one,
    // false at the end of the file. The lines passed over go to skipped (when given), in order.
    bool skip_to(std::string_view text, line_sink* skipped = nullptr);
    // Passes over lines up to the first line whose first character is "[" (with indented, whose first
    // character other than blanks and tabs), which it leaves for head(): true when there is one, false at
    // the end of the file. The lines passed over go to skipped (when given), in order. Given names, only
    // a line whose "[" is followed by one of them and "]" stops it (or one the buffer cannot yet tell).
    // With indented, a line longer than the buffer whose start fills the buffer with blanks stops it too:
    // head() tells what it is.
    bool skip_to_bracket(line_sink* skipped, bool indented, std::span<const std::string_view> names = {});
    // The terminator of the line last consumed whole ("" for a last line without one).
    std::string_view line_end() const noexcept { return head_end_; }
    // What the buffer still holds of the file before the next line: the lines just before it, as far as
    // they are at hand (possibly none).
    std::string_view before() const noexcept { return {buffer_.data(), begin_}; }
    // The file offset of the first byte of before().
    off_t before_offset() const noexcept { return offset_ - static_cast<off_t>(end_); }
    // What the buffer holds of the file from the next line on (possibly not all of that line).
    std::string_view at_hand() const noexcept { return {buffer_.data() + begin_, end_ - begin_}; }
    // Passes every remaining line to skipped.
    void pass_all(line_sink& skipped);

  private:
    bool fill();
    std::size_t settled() const noexcept;
    std::size_t find_end(std::size_t from) const noexcept;
    std::size_t end_length(std::size_t at) const noexcept;
    std::size_t end_of_last_line() const noexcept;
    bool ends_line(char c) const noexcept;
    const char* first_end(const char* data, std::size_t size) const noexcept;
    bool is_line_start(std::size_t at) const noexcept;
    std::string_view consume_end(std::size_t at) noexcept;
    void finish_line();
    bool pass(const std::string_view* text, line_sink* skipped);
    bool blanks_before(std::size_t at) const noexcept;
    void stream_long_line(line_sink* skipped);
    void hand_over(std::size_t from, std::size_t to, line_sink* skipped);

    file& source_;
    std::span<char> buffer_;
    bool lf_ends_;           // a lone LF ends a line
    std::size_t begin_ = 0;  // the unread data is [begin_, end_)
    std::size_t end_ = 0;
    off_t offset_ = 0;           // the file offset of end_
    bool at_eof_ = false;        // a read returned nothing
    bool in_line_ = false;       // a head was taken and [begin_, ...) continues its line
    std::string_view head_;      // the head last handed out
    std::string_view head_end_;  // and its terminator, when the head is the whole line
    off_t line_offset_ = 0;
    std::string aside_;  // a gathered line, or the head of one
};

// The line ends of a file as found: lf where its first line end is a lone LF, and where it has no line
// end yet; crlf where it is a CR, alone or before an LF. Reads up to the first line end.
line_ends line_ends_of(file& f);
// The file's first line end: lf for a lone LF, crlf for a CR (alone or before an LF); nothing for a file
// with none.
std::optional<line_ends> first_line_end(file& f);

template <class Each>
void line_reader::each_rest(Each&& each) {
    while (in_line_) {
        if (begin_ == settled() && !fill() && begin_ == end_) {
            head_end_ = {};  // the last line of the file, without a terminator
            in_line_ = false;
            return;
        }
        const std::size_t end = find_end(begin_);
        const std::size_t stop = end == std::string_view::npos ? settled() : end;
        each(std::string_view(buffer_.data() + begin_, stop - begin_));
        begin_ = stop;
        if (end != std::string_view::npos) {
            head_end_ = consume_end(end);
            in_line_ = false;
        }
    }
}

}  // namespace platform
