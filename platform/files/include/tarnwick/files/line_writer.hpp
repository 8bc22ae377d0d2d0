// Writes lines to a file through a caller's buffer: each followed by CR LF, or, for an exact copy, by
// the terminator it came with.
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
    enum class ends {
        crlf,   // every line written ends with CR LF, whatever ended it in the file read
        exact,  // lines handed over keep their own terminators: the copy is byte for byte
    };

    line_writer(file& sink, std::span<char> buffer, ends how = ends::crlf) noexcept
        : sink_(sink), buffer_(buffer), how_(how) {}

    // Writes the pieces one after the other, then CR LF.
    void write_line(std::string_view text) { write_line({text}); }
    void write_line(std::initializer_list<std::string_view> pieces);

    // Writes lines as a line reader hands them over: each line of raw (ended by CR LF, a lone CR, or the
    // end of raw) is written followed by CR LF. Runs that end every line with CR LF already are written
    // as they stand.
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
    ends how_;
};

}  // namespace platform
