#include "platform/line_reader.hpp"

#include <cstring>

namespace platform {

bool line_reader::fill() {
    const std::size_t room = buffer_.size() - end_;
    const std::size_t n = source_.read(buffer_.data() + end_, room);
    end_ += n;
    // A regular file returns less than asked only at its end; this saves the read that would return 0.
    if (n < room) at_end_ = true;
    return n > 0;
}

bool line_reader::next(std::string_view& line) {
    if (long_out_) {
        long_.clear();
        long_out_ = false;
    }
    char* const base = buffer_.data();
    std::size_t scanned = begin_;  // [begin_, scanned) is known to hold no CR
    auto hand_out = [&](std::string_view text) {
        if (long_.empty()) {
            line = text;
        } else {
            long_.append(text);
            long_out_ = true;
            line = long_;
        }
        return true;
    };
    for (;;) {
        if (skip_lf_ && begin_ < end_) {
            skip_lf_ = false;
            if (base[begin_] == '\n') ++begin_;
            scanned = begin_;
        }
        if (scanned < end_) {
            if (const void* cr = std::memchr(base + scanned, '\r', end_ - scanned)) {
                const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(cr) - base);
                const std::string_view text(base + begin_, at - begin_);
                begin_ = at + 1;
                if (begin_ < end_) {
                    if (base[begin_] == '\n') ++begin_;
                } else {
                    skip_lf_ = true;  // the LF, if any, comes with the next fill
                }
                return hand_out(text);
            }
            scanned = end_;
        }
        if (at_end_) {
            if (begin_ == end_ && long_.empty()) return false;
            const std::string_view text(base + begin_, end_ - begin_);
            begin_ = end_;
            return hand_out(text);
        }
        if (begin_ > 0) {
            std::memmove(base, base + begin_, end_ - begin_);
            end_ -= begin_;
            scanned -= begin_;
            begin_ = 0;
        }
        if (end_ == buffer_.size()) {  // one line fills the whole buffer: keep its head aside
            long_.append(base, end_);
            begin_ = end_ = scanned = 0;
        }
        fill();
    }
}

}  // namespace platform
