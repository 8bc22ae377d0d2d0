#include "tarnwick/files/line_reader.hpp"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace platform {

// What ends a line is known to this block alone: ends_line, first_end, settled, find_end, end_length,
// is_line_start and end_of_last_line. A CR that is the last byte read is not settled until the byte
// after it is read (or the file ends there), which is how a CR LF split by the end of a read is one
// terminator.

bool line_reader::ends_line(char c) const noexcept {
    return c == '\r' || (lf_ends_ && c == '\n');
}

// The first terminator byte of [data, data + size), or null.
// With lone LFs ending lines, the LF is looked for first: a file of LF lines holds no CR to find, and
// looking for one first would read the whole buffer for every line.
const char* line_reader::first_end(const char* data, std::size_t size) const noexcept {
    if (!lf_ends_) return static_cast<const char*>(std::memchr(data, '\r', size));
    const auto* lf = static_cast<const char*>(std::memchr(data, '\n', size));
    const auto* cr =
        static_cast<const char*>(std::memchr(data, '\r', lf ? static_cast<std::size_t>(lf - data) : size));
    return cr ? cr : lf;
}

// The end of the data whose line ends are known: end_, less a CR that is the last byte read.
std::size_t line_reader::settled() const noexcept {
    return end_ > begin_ && !at_eof_ && buffer_[end_ - 1] == '\r' ? end_ - 1 : end_;
}

// The first terminator in [from, settled()), or npos.
std::size_t line_reader::find_end(std::size_t from) const noexcept {
    const std::size_t stop = settled();
    if (from >= stop) return std::string_view::npos;
    const char* end = first_end(buffer_.data() + from, stop - from);
    return end ? static_cast<std::size_t>(end - buffer_.data()) : std::string_view::npos;
}

// The length of the settled terminator at `at`: CR LF, or a lone CR or LF.
std::size_t line_reader::end_length(std::size_t at) const noexcept {
    return buffer_[at] == '\r' && at + 1 < end_ && buffer_[at + 1] == '\n' ? 2 : 1;
}

// Whether a line starts at `at`, given that one starts at begin_ and begin_ < at < settled().
bool line_reader::is_line_start(std::size_t at) const noexcept {
    const char* const base = buffer_.data();
    const char before = base[at - 1];
    if (before == '\r') return base[at] != '\n';  // a lone CR; after a CR LF, the line starts past the LF
    return before == '\n' && (lf_ends_ || (at - 1 > begin_ && base[at - 2] == '\r'));
}

// Where the last complete line of [begin_, settled()) ends, its terminator included; begin_ when no line
// there is complete.
std::size_t line_reader::end_of_last_line() const noexcept {
    const char* const base = buffer_.data();
    const std::size_t stop = settled();
    if (stop <= begin_) return begin_;
    const char* end = static_cast<const char*>(::memrchr(base + begin_, '\r', stop - begin_));
    if (lf_ends_) {
        const char* lf = static_cast<const char*>(::memrchr(base + begin_, '\n', stop - begin_));
        if (lf && (!end || lf > end + 1)) end = lf;  // an LF just after a CR is part of a CR LF
    }
    if (!end) return begin_;
    const auto at = static_cast<std::size_t>(end - base);
    return at + end_length(at);
}

// Consumes the terminator at `at` and returns it.
std::string_view line_reader::consume_end(std::size_t at) noexcept {
    const std::size_t length = end_length(at);
    begin_ = at + length;
    return {buffer_.data() + at, length};
}

// Reads more after end_, moving the unread data to the front first. Only a read that returns nothing
// ends the file.
bool line_reader::fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) return true;  // nothing to read into: the caller takes what is there
    const std::size_t n = source_.read_at(buffer_.data() + end_, buffer_.size() - end_, offset_);
    if (n == 0) {
        at_eof_ = true;
        return false;
    }
    end_ += n;
    offset_ += static_cast<off_t>(n);
    return true;
}

void line_reader::finish_line() {
    if (in_line_) skip_line();
}

bool line_reader::next(std::string_view& line) {
    line_head h;
    if (!head(h, all)) return false;
    line = h.text;
    return true;
}

bool line_reader::head(line_head& out, std::size_t want) {
    finish_line();
    aside_.clear();
    line_offset_ = offset_ - static_cast<off_t>(end_ - begin_);
    char* const base = buffer_.data();
    for (;;) {
        const std::size_t end = find_end(begin_);
        if (end != std::string_view::npos || (at_eof_ && (begin_ < end_ || !aside_.empty()))) {
            const std::size_t stop = end == std::string_view::npos ? end_ : end;
            std::string_view text(base + begin_, stop - begin_);
            head_end_ = {};
            if (end != std::string_view::npos) {
                head_end_ = consume_end(end);
            } else {
                begin_ = end_;
            }
            if (!aside_.empty()) text = aside_.append(text);
            head_ = out.text = text;
            out.whole = true;
            return true;
        }
        if (at_eof_) return false;
        const std::size_t have = settled() - begin_;
        if (begin_ == 0 && end_ == buffer_.size()) {
            // One line fills the buffer. Enough to decide on: the rest of the line streams. Otherwise
            // the caller wants more of this line than the buffer holds: gather it aside.
            std::string_view text(base, have);
            begin_ = have;
            if (aside_.size() + have >= want) {
                if (!aside_.empty()) text = aside_.append(text);
                in_line_ = true;
                head_ = out.text = text;
                out.whole = false;
                return true;
            }
            aside_.append(text);
        }
        fill();
    }
}

bool line_reader::rest_contains(char c) {
    if (!in_line_) return false;
    // 1: c comes first; 0: the line ends first; -1: neither is in this piece.
    auto look = [this, c](const char* data, std::size_t size) -> int {
        const auto* found = static_cast<const char*>(std::memchr(data, c, size));
        if (first_end(data, found ? static_cast<std::size_t>(found - data) : size)) return 0;
        return found ? 1 : -1;
    };
    // What the buffer holds of the rest, then the file beyond it, without consuming either.
    if (const int seen = look(buffer_.data() + begin_, end_ - begin_); seen >= 0) return seen == 1;
    if (at_eof_) return false;
    buffer_lease ahead;
    for (off_t at = offset_;;) {
        const std::size_t n = source_.read_at(ahead.span().data(), ahead.span().size(), at);
        if (n == 0) return false;
        if (const int seen = look(ahead.span().data(), n); seen >= 0) return seen == 1;
        at += static_cast<off_t>(n);
    }
}

void line_reader::copy_line(line_sink& sink) {
    if (!in_line_) {
        sink.line(head_, head_end_);
        return;
    }
    sink.piece(head_);
    each_rest([&](std::string_view text) { sink.piece(text); });
    sink.end_line(head_end_);
}

void line_reader::skip_line() {
    each_rest([](std::string_view) {});
}

void line_reader::append_rest(std::string& out) {
    each_rest([&](std::string_view text) { out.append(text); });
}

void line_reader::hand_over(std::size_t from, std::size_t to, line_sink* skipped) {
    if (skipped && to > from) skipped->lines(std::string_view(buffer_.data() + from, to - from));
}

bool line_reader::skip_to(std::string_view text, line_sink* skipped) {
    // No line holds a terminator: such a text is never found, though its bytes may stand across two lines.
    if (text.find_first_of(lf_ends_ ? std::string_view("\r\n") : std::string_view("\r")) !=
        std::string_view::npos) {
        pass(nullptr, skipped);
        return false;
    }
    // An empty text, or one too long to be sure of in the buffer, is looked for line by line.
    if (text.empty() || text.size() >= buffer_.size() / 2) {
        for (line_head h; head(h, text.size() + 1);) {
            if (h.whole && h.text == text) return true;
            if (skipped) {
                copy_line(*skipped);
            } else {
                skip_line();
            }
        }
        return false;
    }
    return pass(&text, skipped);
}

void line_reader::pass_all(line_sink& skipped) {
    pass(nullptr, &skipped);
}

// Hands over the line that fills the whole buffer, which has no settled end in it, as it streams.
void line_reader::stream_long_line(line_sink* skipped) {
    line_offset_ = offset_ - static_cast<off_t>(end_);
    head_ = std::string_view(buffer_.data(), settled());
    begin_ = head_.size();
    in_line_ = true;
    if (skipped) {
        copy_line(*skipped);
    } else {
        skip_line();
    }
}

// At the top of the loop, begin_ is the start of a line and every byte before it has been handed over.
bool line_reader::pass(const std::string_view* text, line_sink* skipped) {
    finish_line();
    char* const base = buffer_.data();
    for (;;) {
        const std::size_t stop = settled();
        bool undecided = false;
        for (std::size_t scan = begin_; text && scan < stop;) {
            const void* hit = std::memchr(base + scan, text->front(), stop - scan);
            if (!hit) break;
            const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
            scan = at + 1;
            if (at != begin_ && !is_line_start(at)) continue;
            const std::size_t after = at + text->size();
            if (after > stop && at_eof_) continue;  // it would run past the end of the file
            if (after >= stop && !at_eof_) {
                // The line may be the one; more of the file decides where it ends.
                hand_over(begin_, at, skipped);
                begin_ = at;
                undecided = true;
                break;
            }
            if (std::memcmp(base + at, text->data(), text->size()) != 0) continue;
            if (after < end_ && !ends_line(base[after])) continue;
            hand_over(begin_, at, skipped);
            begin_ = after;
            head_end_ = after < end_ ? consume_end(after) : std::string_view();
            return true;
        }
        if (!undecided) {
            if (at_eof_) {
                hand_over(begin_, end_, skipped);
                begin_ = end_;
                return false;
            }
            const std::size_t whole = end_of_last_line();
            hand_over(begin_, whole, skipped);
            begin_ = whole;
            if (begin_ == 0 && end_ == buffer_.size()) {
                stream_long_line(skipped);  // longer than the buffer, so not text
                continue;
            }
        }
        fill();  // at the end of the file, the next round hands over what is left
    }
}

// Whether only blanks and tabs stand between the start of the line and `at`, a line starting at begin_.
bool line_reader::blanks_before(std::size_t at) const noexcept {
    const char* const base = buffer_.data();
    std::size_t start = at;
    while (start > begin_ && (base[start - 1] == ' ' || base[start - 1] == '\t')) --start;
    return start == begin_ || is_line_start(start);
}

namespace {

// The first "[" in [from, stop) that is followed by name and "]", all before `limit`, or (where more bytes
// may follow `limit`) that is too near it to tell; null when none.
// Many places are tried at once, by their "[" and the "]" name.size() + 1 bytes on, so the brackets
// of other names cost next to nothing.
const char* find_bracketed(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                           std::string_view name, bool more) noexcept {
    const std::size_t close = name.size() + 1;
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i open_byte = _mm_set1_epi8('['), close_byte = _mm_set1_epi8(']');
    auto both = [&](std::size_t at) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at + close));
        return _mm_and_si128(_mm_cmpeq_epi8(a, open_byte), _mm_cmpeq_epi8(b, close_byte));
    };
    // 64 bytes a round, looked at closer only where some place has both.
    for (; i + 64 <= stop && i + close + 64 <= limit; i += 64) {
        const __m128i m0 = both(i), m1 = both(i + 16), m2 = both(i + 32), m3 = both(i + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3))) == 0) continue;
        std::uint64_t mask = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m0))) |
                             static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m1))) << 16 |
                             static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m2))) << 32 |
                             static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m3))) << 48;
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctzll(mask));
            if (std::memcmp(base + at + 1, name.data(), name.size()) == 0) return base + at;
        }
    }
#endif
    for (; i < stop; ++i) {
        if (base[i] != '[') continue;
        if (i + close >= limit
                ? more
                : base[i + close] == ']' && std::memcmp(base + i + 1, name.data(), name.size()) == 0) {
            return base + i;
        }
    }
    return nullptr;
}

}  // namespace

bool line_reader::skip_to_bracket(line_sink* skipped, bool indented,
                                  std::span<const std::string_view> names) {
    finish_line();
    char* const base = buffer_.data();
    // Whether the "[" at `at` is followed by one of the names and "]", or the bytes at hand cannot tell.
    auto named = [&](std::size_t at) {
        for (const std::string_view name : names) {
            const std::size_t close = at + 1 + name.size();
            if (close >= end_
                    ? !at_eof_
                    : base[close] == ']' && std::memcmp(base + at + 1, name.data(), name.size()) == 0) {
                return true;
            }
        }
        return false;
    };
    for (;;) {
        const std::size_t stop = settled();
        for (std::size_t scan = begin_; scan < stop;) {
            const void* hit = names.size() == 1
                                  ? find_bracketed(base, scan, stop, end_, names.front(), !at_eof_)
                                  : std::memchr(base + scan, '[', stop - scan);
            if (!hit) break;
            const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
            scan = at + 1;
            if (at != begin_ && !(indented ? blanks_before(at) : is_line_start(at))) continue;
            if (names.size() > 1 && !named(at)) continue;
            // The line starts where the blanks before the "[" do.
            std::size_t start = at;
            while (start > begin_ && (base[start - 1] == ' ' || base[start - 1] == '\t')) --start;
            hand_over(begin_, start, skipped);
            begin_ = start;
            return true;
        }
        if (at_eof_) {
            hand_over(begin_, end_, skipped);
            begin_ = end_;
            return false;
        }
        // Keep the last line, which may be one with blanks still to come before its "[".
        std::size_t whole = end_of_last_line();
        hand_over(begin_, whole, skipped);
        begin_ = whole;
        if (begin_ == 0 && end_ == buffer_.size()) {
            stream_long_line(skipped);  // longer than the buffer and no "[" at its start in sight
            continue;
        }
        fill();
    }
}

line_ends line_ends_of(file& f) {
    char chunk[4096];
    for (off_t at = 0;;) {
        const std::size_t n = f.read_at(chunk, sizeof chunk, at);
        if (n == 0) return line_ends::lf;
        const auto* cr = static_cast<const char*>(std::memchr(chunk, '\r', n));
        if (std::memchr(chunk, '\n', cr ? static_cast<std::size_t>(cr - chunk) : n)) return line_ends::lf;
        if (cr) return line_ends::crlf;
        at += static_cast<off_t>(n);
    }
}

void check_line_ends_setting(std::int16_t setting) {
    if (setting < line_ends_crlf || setting > line_ends_as_found) {
        throw runtime_error(err::invalid_call,
                            "LineEnds is 0 (CR LF), 1 (LF) or 2 (as found), not " + std::to_string(setting));
    }
}

line_ends line_ends_by_setting(std::int16_t setting, file& f) {
    switch (setting) {
        case line_ends_lf:
            return line_ends::lf;
        case line_ends_as_found:
            return line_ends_of(f);
        default:
            return line_ends::crlf;
    }
}

}  // namespace platform
