#include "tarnwick/files/line_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/line_end.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/scans.hpp"

namespace platform {

// What ends a line is line_end.hpp's; this block applies it to the buffer: ends_line, first_end,
// settled, find_end, end_length, is_line_start and end_of_last_line. A CR that is the last byte read is
// not settled until the byte after it is read (or the file ends there), which is how a CR LF split by
// the end of a read is one terminator.

bool line_reader::ends_line(char c) const noexcept {
    return line_end::ends(c, lf_ends_);
}

const char* line_reader::first_end(const char* data, std::size_t size) const noexcept {
    return line_end::first(data, size, lf_ends_);
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
    return line_end::length(std::string_view(buffer_.data(), end_), at);
}

// Whether a line starts at `at`, given that one starts at begin_ and begin_ < at < settled().
bool line_reader::is_line_start(std::size_t at) const noexcept {
    return line_end::starts_line(std::string_view(buffer_.data() + begin_, end_ - begin_), at - begin_,
                                 lf_ends_);
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

void line_reader::extend_head(line_head& out, std::size_t want) {
    out.text = head_;
    out.whole = !in_line_;
    if (!in_line_ || head_.size() >= want) return;
    if (aside_.data() != head_.data()) aside_.assign(head_);
    const char* const base = buffer_.data();
    while (aside_.size() < want) {
        const std::size_t end = find_end(begin_);
        if (end != std::string_view::npos || at_eof_) {
            // The line ends here: the head is all of it.
            const std::size_t stop = end == std::string_view::npos ? end_ : end;
            aside_.append(base + begin_, stop - begin_);
            begin_ = stop;
            head_end_ = end == std::string_view::npos ? std::string_view() : consume_end(end);
            in_line_ = false;
            break;
        }
        const std::size_t stop = settled();
        aside_.append(base + begin_, stop - begin_);
        begin_ = stop;
        fill();
    }
    head_ = out.text = aside_;
    out.whole = !in_line_;
}

bool line_reader::rest_contains(char c) {
    bool found = false;
    look_ahead([&](std::string_view piece) {
        found = std::memchr(piece.data(), c, piece.size()) != nullptr;
        return !found;
    });
    return found;
}

bool line_reader::unended() {
    if (!in_line_) return head_end_.empty();
    if (first_end(buffer_.data() + begin_, end_ - begin_) != nullptr) return false;
    if (at_eof_) return true;
    buffer_lease ahead;
    const std::size_t size = std::min(ahead.span().size(), buffer_size(64 * 1024));
    for (off_t at = offset_;;) {
        const std::size_t n = source_.read_at(ahead.span().data(), size, at);
        if (n == 0) return true;
        if (first_end(ahead.span().data(), n) != nullptr) return false;
        at += static_cast<off_t>(n);
    }
}

void line_reader::look_ahead(const std::function<bool(std::string_view)>& look) {
    if (!in_line_) return;
    // Gives data up to the first line end in it; false when the line ended there (or look had enough).
    auto give = [&](const char* data, std::size_t size) {
        const char* end = first_end(data, size);
        const std::size_t n = end ? static_cast<std::size_t>(end - data) : size;
        if (!look(std::string_view(data, n))) return false;
        return end == nullptr;
    };
    // What the buffer holds of the rest, then the file beyond it, without consuming either. A CR that is
    // the last byte at hand ends the line whatever follows it.
    if (!give(buffer_.data() + begin_, end_ - begin_) || at_eof_) return;
    buffer_lease ahead;
    const std::size_t size = std::min(ahead.span().size(), buffer_size(64 * 1024));
    for (off_t at = offset_;;) {
        const std::size_t n = source_.read_at(ahead.span().data(), size, at);
        if (n == 0 || !give(ahead.span().data(), n)) return;
        at += static_cast<off_t>(n);
    }
}

off_t line_reader::next_line_offset() {
    finish_line();
    return offset_ - static_cast<off_t>(end_ - begin_);
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

namespace {

// Whether text is nothing but blanks and tabs.
bool all_blanks(std::string_view text) noexcept {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

// Whether only blanks and tabs stand between the start of the line and `at`, a line starting at begin_.
bool line_reader::blanks_before(std::size_t at) const noexcept {
    const char* const base = buffer_.data();
    std::size_t start = at;
    while (start > begin_ && (base[start - 1] == ' ' || base[start - 1] == '\t')) --start;
    return start == begin_ || is_line_start(start);
}

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
                                  ? scan::bracketed(base, scan, stop, end_, names.front(), !at_eof_)
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
            // A line longer than the buffer that is all blanks so far may still be a header: head() tells.
            if (indented && all_blanks(std::string_view(base, end_))) return true;
            stream_long_line(skipped);  // longer than the buffer and no "[" at its start in sight
            continue;
        }
        fill();
    }
}

std::optional<line_ends> first_line_end(file& f) {
    char chunk[buffer_size(4096)];
    for (off_t at = 0;;) {
        const std::size_t n = f.read_at(chunk, sizeof chunk, at);
        if (n == 0) return std::nullopt;
        const auto* cr = static_cast<const char*>(std::memchr(chunk, '\r', n));
        if (std::memchr(chunk, '\n', cr ? static_cast<std::size_t>(cr - chunk) : n)) return line_ends::lf;
        if (cr) return line_ends::crlf;
        at += static_cast<off_t>(n);
    }
}

line_ends line_ends_of(file& f) {
    return first_line_end(f).value_or(line_ends::lf);
}

void check_line_ends_setting(std::int16_t setting) {
    if (setting < 0 || setting > 2) {
        throw runtime_error(err::invalid_call,
                            "LineEnds is 0 (CR LF), 1 (LF) or 2 (as found), not " + std::to_string(setting));
    }
}

format format::of_settings(std::int16_t line_ends, std::int16_t encoding, std::int16_t dialect) {
    check_line_ends_setting(line_ends);
    check_encoding_setting(encoding);
    ini::check_dialect_setting(dialect);
    return {static_cast<line_ends_setting>(line_ends), static_cast<platform::encoding>(encoding),
            static_cast<ini::dialect>(dialect)};
}

line_ends format::ends_of(file& f) const {
    switch (ends) {
        case line_ends_setting::lf:
            return line_ends::lf;
        case line_ends_setting::as_found:
            return line_ends_of(f);
        case line_ends_setting::crlf:
            break;
    }
    return line_ends::crlf;
}

}  // namespace platform
