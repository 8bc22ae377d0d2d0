#include "platform/line_writer.hpp"

#include <cstring>

namespace platform {

void line_writer::put(std::string_view bytes) {
    if (bytes.size() > buffer_.size() - used_) {
        flush();
        if (bytes.size() >= buffer_.size()) {
            sink_.write_all(bytes.data(), bytes.size());
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void line_writer::write_line(std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) put(piece);
    put("\r\n");
}

void line_writer::flush() {
    if (used_ > 0) {
        sink_.write_all(buffer_.data(), used_);
        used_ = 0;
    }
}

}  // namespace platform
