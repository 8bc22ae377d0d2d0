// Writes lines to a file through a caller's buffer, each followed by CR LF.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "platform/file.hpp"
#include "platform/line_sink.hpp"

namespace platform {

class line_writer final : public line_sink {
public:
    line_writer(file& sink, std::span<char> buffer) noexcept : sink_(sink), buffer_(buffer) {}

    // Writes the pieces one after the other, then CR LF.
    void write_line(std::string_view text) { write_line({text}); }
    void write_line(std::initializer_list<std::string_view> pieces);

    // Writes lines as a line reader hands them over: each line of raw (ended by CR LF, a lone CR, or the
    // end of raw) is written followed by CR LF. Runs that end every line with CR LF already are written
    // as they stand.
    void lines(std::string_view raw) override;
    void line(std::string_view text) override { write_line(text); }
    // Writes what is buffered. Call before closing the file; the destructor does not flush.
    void flush();

private:
    void put(std::string_view bytes);

    file& sink_;
    std::span<char> buffer_;
    std::size_t used_ = 0;
};

}  // namespace platform
