// The text of the tables: one UTF-16 buffer that grows by appending and is emptied by clear(), which
// keeps its memory for the next load (fresh memory is slow to touch). Appending writes each unit once.
//
// Appending is inline: a load appends once per line, and the call would cost more than the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw_ini::detail {

class text_buffer {
  public:
    void clear() noexcept { size_ = 0; }
    std::size_t size() const noexcept { return size_; }
    std::u16string_view view(std::uint32_t offset, std::uint32_t length) const noexcept {
        return {data_.get() + offset, length};
    }

    // Append units, or bytes decoded from Windows-1252 (one unit per byte), and return the offset where
    // they start. Offsets are 32-bit: text beyond 4,294,967,295 units is run-time error 7, raised before
    // anything is appended.
    std::uint32_t append(std::u16string_view units) {
        const auto at = static_cast<std::uint32_t>(size_);
        std::memcpy(extend(units.size()), units.data(), units.size() * sizeof(char16_t));
        return at;
    }
    std::uint32_t append_decoded(std::string_view bytes) {
        const auto at = static_cast<std::uint32_t>(size_);
        decode(bytes, extend(bytes.size()));
        return at;
    }

  private:
    static void decode(std::string_view bytes, char16_t* out) noexcept;
    static void decode_high(std::string_view bytes, char16_t* out) noexcept;

    char16_t* extend(std::size_t units) {
        if (units > capacity_ - size_) grow(units);
        char16_t* const at = data_.get() + size_;
        size_ += units;
        return at;
    }
    void grow(std::size_t units);

    struct release {
        void operator()(char16_t* p) const noexcept { std::free(p); }
    };
    // From malloc, so that growing can realloc: a large block is then moved by remapping its pages, not
    // by copying them into fresh ones.
    std::unique_ptr<char16_t[], release> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Bytes below 0x80 stand for themselves, and most text is ASCII: every byte is widened as it is, sixteen
// at a time where the processor allows, and only text that holds a byte of 0x80 or above takes a second
// pass for those bytes.
inline void text_buffer::decode(std::string_view bytes, char16_t* out) noexcept {
    const auto* const in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    unsigned seen = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i high = zero;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        high = _mm_or_si128(high, v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(v, zero));
    }
    if (i + 8 <= n) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
        high = _mm_or_si128(high, v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
        i += 8;
    }
    seen = static_cast<unsigned>(_mm_movemask_epi8(high));
#endif
    for (; i < n; ++i) {
        out[i] = in[i];
        seen |= in[i] & 0x80u;
    }
    if (seen != 0) decode_high(bytes, out);
}

}  // namespace tw_ini::detail
