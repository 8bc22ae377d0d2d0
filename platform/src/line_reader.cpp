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

namespace platform {

void line_reader::compact() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
}

void line_reader::hand_over(std::size_t from, std::size_t to, line_sink* skipped) {
    if (skipped && to > from) skipped->lines(std::string_view(buffer_.data() + from, to - from));
}

bool line_reader::skip_to(std::string_view text, line_sink* skipped) {
    // No line holds a CR: such a text is never found, though its bytes may stand across two lines.
    if (text.find('\r') != std::string_view::npos) {
        pass(nullptr, skipped);
        return false;
    }
    // An empty line or one that cannot fit in the buffer is looked for line by line.
    if (text.empty() || text.size() >= buffer_.size()) {
        std::string_view line;
        while (next(line)) {
            if (line == text) return true;
            if (skipped) skipped->line(line);
        }
        return false;
    }
    return pass(&text, skipped);
}

// Invariant: begin_ is the start of a line (an LF owed to a CR before it is dropped first), and every
// byte before it has been handed over.
bool line_reader::pass(const std::string_view* text, line_sink* skipped) {
    if (long_out_) {
        long_.clear();
        long_out_ = false;
    }
    char* const base = buffer_.data();
    for (;;) {
        if (skip_lf_ && begin_ < end_) {
            skip_lf_ = false;
            if (base[begin_] == '\n') ++begin_;
        }
        bool undecided = false;
        for (std::size_t scan = begin_; text && scan < end_;) {
            const void* hit = std::memchr(base + scan, text->front(), end_ - scan);
            if (!hit) break;
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
            scan = at + 1;
            // A line starts after CR LF, or after a CR that no LF follows.
            const bool line_start = at == begin_ || (base[at - 1] == '\r' && base[at] != '\n') ||
                                    (at - 1 > begin_ && base[at - 1] == '\n' && base[at - 2] == '\r');
            if (!line_start) continue;
            const std::size_t after = at + text->size();
            if (after > end_ || (after == end_ && !at_end_)) {
                // The line may be the one; more of the file decides.
                hand_over(begin_, at, skipped);
                begin_ = at;
                undecided = !at_end_;
                break;
            }
            if (std::memcmp(base + at, text->data(), text->size()) != 0) continue;
            if (after < end_ && base[after] != '\r') continue;
            hand_over(begin_, at, skipped);
            begin_ = after == end_ ? end_ : after + 1;
            if (begin_ < end_) {
                if (base[begin_] == '\n') ++begin_;
            } else if (after < end_) {
                skip_lf_ = true;
            }
            return true;
        }
        if (!undecided) {
            if (at_end_) {
                hand_over(begin_, end_, skipped);
                begin_ = end_;
                return false;
            }
            // Hand over the whole lines; the line still being read stays.
            const void* last_cr = ::memrchr(base + begin_, '\r', end_ - begin_);
            if (last_cr) {
                std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(last_cr) - base) + 1;
                if (stop < end_ && base[stop] == '\n') ++stop;
                if (stop == end_ && base[end_ - 1] == '\r') skip_lf_ = true;
                hand_over(begin_, stop, skipped);
                begin_ = stop;
            } else if (begin_ == 0 && end_ == buffer_.size()) {
                // A line longer than the buffer: gather it whole.
                std::string_view line;
                next(line);
                if (text && line == *text) return true;
                if (skipped) skipped->line(line);
                continue;
            }
        }
        compact();
        fill();
    }
}

}  // namespace platform
