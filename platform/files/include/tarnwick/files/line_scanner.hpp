// Lines found in a run of bytes held in memory, block by block with the vector scan of line ends and
// first "=" (scans.hpp), each handed on as soon as its end is known, while its bytes are still in the
// cache. The reader control's load and penmoor's snapshot of a whole file both scan this way.
//
// A line ends at CR LF or a lone CR, and where lf_ends at a lone LF too; the terminator is no part of the
// line, and a final line without one is a line. Only offsets are kept between calls, since the run may
// move as it grows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "tarnwick/files/line_end.hpp"
#include "tarnwick/files/scans.hpp"

namespace platform::scan {

// Each line goes to line(at, text, first_equals): its offset in the run, its text, and the offset in it
// of its first "=" (npos when it has none).
template <class Line>
class line_scanner {
  public:
    static constexpr std::size_t npos = std::string_view::npos;

    line_scanner(bool lf_ends, Line line) noexcept : lf_ends_(lf_ends), line_(std::move(line)) {}

    // Starts the first line at `at` instead of the run's first byte (past a byte-order mark); before
    // anything is scanned.
    void start_at(std::size_t at) noexcept { start_ = at; }

    // Hands on the lines that end in [0, size), more of the run to come. A CR is settled only once the
    // byte after it is there to say whether it starts a CR LF, so the last byte is left for the next call.
    void scan(const char* base, std::size_t size) {
        for (; next_ + block < size; next_ += block)
            look_at(base, next_, line_marks(base + next_, lf_ends_), size);
    }

    // Hands on the rest: the run ends at size.
    void finish(const char* base, std::size_t size) {
        for (; next_ < size; next_ += block) {
            char padded[block] = {};
            std::memcpy(padded, base + next_, std::min(block, size - next_));
            look_at(base, next_, line_marks(padded, lf_ends_), size);
        }
        if (start_ < size) hand_on(base, size);
    }

  private:
    // The marks of the block at `at`, in order.
    void look_at(const char* base, std::size_t at, marks m, std::size_t size) {
        for (;;) {
            if (start_ > at) {
                // Bytes before the line's start belong to lines already handed on (an LF of a CR LF, or
                // all of the block when a CR LF straddles its end).
                const std::size_t skip = start_ - at;
                const std::uint64_t keep = skip >= block ? 0 : ~std::uint64_t{0} << skip;
                m.ends &= keep;
                m.equals &= keep;
            }
            if (equals_ == npos && m.equals != 0) {
                const std::size_t first = at + static_cast<std::size_t>(__builtin_ctzll(m.equals));
                if (m.ends == 0 || first < at + static_cast<std::size_t>(__builtin_ctzll(m.ends)))
                    equals_ = first;
            }
            if (m.ends == 0) return;
            const std::size_t end = at + static_cast<std::size_t>(__builtin_ctzll(m.ends));
            hand_on(base, end);
            start_ = end + line_end::length(std::string_view(base, size), end);
            equals_ = npos;
        }
    }

    // Hands on the line from start_ to end.
    void hand_on(const char* base, std::size_t end) {
        line_(start_, std::string_view(base + start_, end - start_),
              equals_ == npos ? npos : equals_ - start_);
    }

    const bool lf_ends_;
    Line line_;
    std::size_t start_ = 0;      // where the line being scanned starts
    std::size_t next_ = 0;       // the first byte not yet looked at
    std::size_t equals_ = npos;  // the first "=" of the line being scanned, once seen
};

}  // namespace platform::scan
