#include "tarnwick/files/scans.hpp"

#include <cstdint>
#include <cstring>

#if TARNWICK_HAVE_SSE2
#include <emmintrin.h>
#endif

namespace platform::scan {

const char* bracketed_plain(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                            std::string_view name, bool more) noexcept {
    const std::size_t close = name.size() + 1;
    for (std::size_t i = from; i < stop; ++i) {
        if (base[i] != '[') continue;
        if (i + close >= limit
                ? more
                : base[i + close] == ']' && std::memcmp(base + i + 1, name.data(), name.size()) == 0) {
            return base + i;
        }
    }
    return nullptr;
}

marks line_marks_plain(const char* p, bool lf) noexcept {
    marks m{0, 0};
    for (std::size_t i = 0; i < block; ++i) {
        if (p[i] == '\r' || (lf && p[i] == '\n')) m.ends |= std::uint64_t{1} << i;
        if (p[i] == '=') m.equals |= std::uint64_t{1} << i;
    }
    return m;
}

#if TARNWICK_HAVE_SSE2
marks line_marks_sse2(const char* p, bool lf) noexcept {
    const __m128i cr = _mm_set1_epi8('\r'), lf_byte = _mm_set1_epi8('\n'), eq = _mm_set1_epi8('=');
    std::uint64_t ends = 0, equals = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        __m128i end = _mm_cmpeq_epi8(v, cr);
        if (lf) end = _mm_or_si128(end, _mm_cmpeq_epi8(v, lf_byte));
        ends |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(end))) << (16 * i);
        equals |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, eq))))
                  << (16 * i);
    }
    return {ends, equals};
}

const char* bracketed_sse2(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                           std::string_view name, bool more) noexcept {
    const std::size_t close = name.size() + 1;
    std::size_t i = from;
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
    return bracketed_plain(base, i, stop, limit, name, more);
}
#endif

}  // namespace platform::scan
