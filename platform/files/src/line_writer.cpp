#include "tarnwick/files/line_writer.hpp"

#include "tarnwick/files/line_end.hpp"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {
namespace {

// True when every CR in [p, p + n) is followed by an LF inside the range.
bool only_crlf(const char* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 17 <= n; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
        const __m128i lone = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(here, cr));
        if (_mm_movemask_epi8(lone) != 0) return false;
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n')) return false;
    }
    return true;
}

}  // namespace

void line_writer::put(std::string_view bytes) {
    if (bytes.empty()) return;
    // Large runs (a reader's buffer of lines passed over) go straight from the caller's memory to the file.
    if (bytes.size() >= buffer_.size() / 16) {
        flush();
        sink_.write_all(bytes.data(), bytes.size());
        return;
    }
    if (bytes.size() > buffer_.size() - used_) flush();
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void line_writer::write_line(std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) put(piece);
    put(end_);
}

void line_writer::line(std::string_view text, std::string_view end) {
    put(text);
    end_line(end);
}

void line_writer::end_line(std::string_view end) {
    put(exact_ ? end : end_);
}

void line_writer::lines(std::string_view raw) {
    if (exact_) {
        put(raw);
        return;
    }
    const bool lf = end_ == "\n";
    // Runs whose every line already ends as it should are written as they stand.
    if (raw.ends_with(end_) &&
        (lf ? raw.find('\r') == std::string_view::npos : only_crlf(raw.data(), raw.size()))) {
        put(raw);
        return;
    }
    // Otherwise line by line: a line ends at CR LF, a lone CR, or (where a lone LF ends lines) a lone LF.
    while (!raw.empty()) {
        const auto stop = raw.find_first_of(lf ? std::string_view("\r\n") : std::string_view("\r"));
        write_line(raw.substr(0, stop));
        if (stop == std::string_view::npos) return;
        const bool crlf = line_end::length(raw, stop) == 2;
        raw.remove_prefix(stop + (crlf ? 2 : 1));
    }
}

void line_writer::flush() {
    if (used_ > 0) {
        sink_.write_all(buffer_.data(), used_);
        used_ = 0;
    }
}

}  // namespace platform
