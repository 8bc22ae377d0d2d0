// The system's single-byte character set: Windows-1252, made total so that every byte round-trips.
//
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control
// characters of the same value, so decode() is a bijection from bytes onto 256 characters and encode()
// is its inverse on them. Text read from a file and written back unchanged keeps every byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::cp1252 {

// The character a byte stands for.
char16_t decode(unsigned char byte) noexcept;

// The byte that stands for a character; false when the character is outside the set.
bool encode(char16_t ch, unsigned char& byte) noexcept;

// Decodes bytes into out, which has room for bytes.size() characters (one per byte). Inline, for
// callers that decode many short runs.
void decode_into(std::string_view bytes, char16_t* out) noexcept;

// Whole strings. encode() gives nothing when any character is outside the set.
std::u16string decode(std::string_view bytes);
void decode_append(std::string_view bytes, std::u16string& out);
std::optional<std::string> encode(std::u16string_view text);

// The bytes from 0x80 up, after decode_into has widened every byte as it is.
void decode_high_bytes(std::string_view bytes, char16_t* out) noexcept;

// Bytes below 0x80 stand for themselves, and most text is ASCII: every byte is widened as it is, sixteen
// at a time where the processor allows, and only text that holds a byte of 0x80 or above takes a second
// pass for those bytes.
inline void decode_into(std::string_view bytes, char16_t* out) noexcept {
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
    if (i < n && n >= 8) {
        // The last bytes, as the last eight of the text: what overlaps is written again, the same.
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + n - 8));
        high = _mm_or_si128(high, v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 8), _mm_unpacklo_epi8(v, zero));
        i = n;
    }
    seen = static_cast<unsigned>(_mm_movemask_epi8(high));
#endif
    for (; i < n; ++i) {
        out[i] = in[i];
        seen |= in[i] & 0x80u;
    }
    if (seen != 0) decode_high_bytes(bytes, out);
}

}  // namespace platform::cp1252
