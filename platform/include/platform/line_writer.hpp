// Writes lines to a file through a caller's buffer, each followed by CR LF.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "platform/file.hpp"

namespace platform {

class line_writer {
public:
    line_writer(file& sink, std::span<char> buffer) noexcept : sink_(sink), buffer_(buffer) {}

    // Writes the pieces one after the other, then CR LF.
    void write_line(std::string_view text) { write_line({text}); }
    void write_line(std::initializer_list<std::string_view> pieces);
    // Writes what is buffered. Call before closing the file; the destructor does not flush.
    void flush();

private:
    void put(std::string_view bytes);

    file& sink_;
    std::span<char> buffer_;
    std::size_t used_ = 0;
};

}  // namespace platform
