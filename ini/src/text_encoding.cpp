#include "text_encoding.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "tarnwick/files/cp1252.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw_ini::detail {
namespace {

// Windows-1252 bytes of text into out, which has room for text.size() bytes; false when a character is
// outside the set. ASCII, the common case, is narrowed eight units at a time.
bool encode_1252(std::u16string_view text, char* out) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i above_ascii = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(above_ascii, _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < text.size(); ++i) {
        const char16_t unit = text[i];
        unsigned char byte = static_cast<unsigned char>(unit);
        if (unit >= 0x80 && !platform::cp1252::encode(unit, byte)) return false;
        out[i] = static_cast<char>(byte);
    }
    return true;
}

// Windows-1252 bytes of text as padded words (see name_key), each stored whole; false when a character
// is outside the set.
bool encode_words_1252(std::u16string_view text, std::uint64_t* out) noexcept {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; i += 8) {
        const std::size_t count = std::min<std::size_t>(8, n - i);
#if defined(__SSE2__)
        if (count == 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i above_ascii = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(above_ascii, _mm_setzero_si128())) == 0xFFFF) {
                out[i / 8] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v, v)));
                continue;
            }
        }
#endif
        std::uint64_t w = 0;
        unsigned above_ascii = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const char16_t unit = text[i + k];
            above_ascii |= unit;
            w |= std::uint64_t{static_cast<unsigned char>(unit)} << (8 * k);
        }
        if (above_ascii >= 0x80) {
            w = 0;
            for (std::size_t k = 0; k < count; ++k) {
                unsigned char byte;
                if (!platform::cp1252::encode(text[i + k], byte)) return false;
                w |= std::uint64_t{byte} << (8 * k);
            }
        }
        out[i / 8] = w;
    }
    return true;
}

bool encode_words(std::u16string_view text, text_encoding, std::uint64_t* out) noexcept {
    return encode_words_1252(text, out);
}

// Every encoding so far takes one byte per unit.
bool encode_into(std::u16string_view text, text_encoding, char* out) noexcept {
    return encode_1252(text, out);
}

}  // namespace

platform::string decode(std::string_view bytes, text_encoding) {
    platform::string text(bytes.size(), u'\0');
    platform::cp1252::decode_into(bytes, text.data());
    return text;
}

bool encode(std::u16string_view text, text_encoding encoding, std::string& out) {
    out.resize(text.size());
    return encode_into(text, encoding, out.data());
}

name_key::name_key(std::u16string_view units, text_encoding encoding) : units_(units) {
    const std::size_t words = word_count(units.size());
    std::uint64_t* out = inline_;
    if (words > std::size(inline_)) {
        heap_ = std::make_unique<std::uint64_t[]>(words);
        out = heap_.get();
    }
    words_ = out;
    has_bytes_ = encode_words(units, encoding, out);
}

}  // namespace tw_ini::detail
