// A scan: open a file, hand its lines out one at a time, close it when the scan goes out of scope.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/buffer_pool.hpp"
#include "platform/file.hpp"
#include "platform/line_reader.hpp"

namespace penmoor {

class scan {
public:
    explicit scan(const std::string& path) : file_(platform::open_read(path)), lines_(file_, buffer_.span()) {}
    explicit scan(platform::file&& opened) : file_(std::move(opened)), lines_(file_, buffer_.span()) {}

    bool next(std::string_view& line) { return lines_.next(line); }
    // Passes over lines up to the first one equal to text; false at the end of the file.
    bool skip_to(const std::optional<std::string>& text) { return text && lines_.skip_to(*text); }
    platform::file& source() noexcept { return file_; }

private:
    platform::buffer_lease buffer_;
    platform::file file_;
    platform::line_reader lines_;
};

}  // namespace penmoor
