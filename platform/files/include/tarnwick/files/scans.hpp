// The byte scans that have a vector form: each with its plain form beside it, which builds without
// SSE2 (or with TARNWICK_SCALAR) use instead, and which tests and fuzz targets compare it with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#define TARNWICK_HAVE_SSE2 1
#else
#define TARNWICK_HAVE_SSE2 0
#endif

namespace platform::scan {

// The first "[" in base[from, stop) that is followed by name and "]", all before `limit`, or (where more
// bytes may follow `limit`) that is too near it to tell; null when none.
const char* bracketed_plain(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                            std::string_view name, bool more) noexcept;
#if TARNWICK_HAVE_SSE2
// The same, many places tried at once by their "[" and the "]" name.size() + 1 bytes on, so that the
// brackets of other names cost next to nothing.
const char* bracketed_sse2(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                           std::string_view name, bool more) noexcept;
#endif

// The form this build uses.
inline const char* bracketed(const char* base, std::size_t from, std::size_t stop, std::size_t limit,
                             std::string_view name, bool more) noexcept {
#if TARNWICK_HAVE_SSE2 && !defined(TARNWICK_SCALAR)
    return bracketed_sse2(base, from, stop, limit, name, more);
#else
    return bracketed_plain(base, from, stop, limit, name, more);
#endif
}

// One bit per byte of a block of 64 bytes: the bytes that may end a line (CR, and LF where lf), and the
// "=" bytes; the reader control's load files each line as soon as its end is known.
inline constexpr std::size_t block = 64;
struct marks {
    std::uint64_t ends;
    std::uint64_t equals;
    friend bool operator==(const marks&, const marks&) = default;
};
marks line_marks_plain(const char* p, bool lf) noexcept;
#if TARNWICK_HAVE_SSE2
marks line_marks_sse2(const char* p, bool lf) noexcept;
#endif

inline marks line_marks(const char* p, bool lf) noexcept {
#if TARNWICK_HAVE_SSE2 && !defined(TARNWICK_SCALAR)
    return line_marks_sse2(p, lf);
#else
    return line_marks_plain(p, lf);
#endif
}

}  // namespace platform::scan
