// Writes lines to a file through a caller's buffer: each followed by CR LF or by LF, or, for an exact
// copy, by the terminator it came with.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_sink.hpp"

namespace platform {

class line_writer final : public line_sink {
  public:
    // Lines written end with the terminator of `ends`, whatever ended them in a file read; an exact
    // writer writes lines handed over with their own terminators, so that a copy is byte for byte, and
    // ends only the lines it writes itself as `ends` says.
    line_writer(file& sink, std::span<char> buffer, line_ends ends = line_ends::crlf) noexcept
        : sink_(sink), buffer_(buffer), end_(ends == line_ends::lf ? "\n" : "\r\n") {}
    static line_writer exact(file& sink, std::span<char> buffer, line_ends ends = line_ends::crlf) noexcept {
        line_writer w(sink, buffer, ends);
        w.exact_ = true;
        return w;
    }

    // The terminator of the lines this writer writes itself.
    std::string_view end() const noexcept { return end_; }

    // Writes the pieces one after the other, then the terminator.
    void write_line(std::string_view text) { write_line({text}); }
    void write_line(std::initializer_list<std::string_view> pieces);

    // Writes lines as a line reader hands them over, each followed by the terminator; runs whose lines
    // all end with it already are written as they stand.
    void lines(std::string_view raw) override;
    void line(std::string_view text, std::string_view end) override;
    void piece(std::string_view text) override { put(text); }
    void end_line(std::string_view end) override;
    // Writes bytes as they are.
    void write_raw(std::string_view bytes) { put(bytes); }
    // Writes what is buffered. Call before closing the file; the destructor does not flush.
    void flush();

  private:
    void put(std::string_view bytes);

    file& sink_;
    std::span<char> buffer_;
    std::size_t used_ = 0;
    std::string_view end_;
    bool exact_ = false;
};

}  // namespace platform
