// The encoding of the loaded text (platform::encoding, Windows-1252 or UTF-8: in Windows-1252 every byte is
// one character, so decoding never fails; in UTF-8 bytes that are not UTF-8 decode to lone surrogates
// U+DC80 ... U+DCFF and back), and the two ways across it: the bytes of a filed name or value become
// interface text only when a query returns them (decode), and a name asked for becomes bytes once, so
// that it is compared with filed names byte for byte (name_key).
//
// Every encoding here maps "[", "]", "=", CR and LF to the bytes of their ASCII codes, so lines are
// found and classified on the bytes whatever the encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/types.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw_ini::detail {

platform::string decode_utf8(std::string_view bytes);

// The interface text of bytes in an encoding. Inline: a query decodes what it returns on every call.
inline platform::string decode(std::string_view bytes, platform::encoding encoding) {
    if (encoding == platform::encoding::utf8) return decode_utf8(bytes);
    platform::string text(bytes.size(), u'\0');
    platform::cp1252::decode_into(bytes, text.data());
    return text;
}

// Encodes text into out (replacing what it held); false when a character has no bytes in the encoding,
// in which case out is unspecified.
bool encode(std::u16string_view text, platform::encoding encoding, std::string& out);

// Bytes as 64-bit words, little-endian, the last one padded with zero bytes: the unit in which names
// are hashed and compared. word() reads the bytes where they lie, without copying the tail anywhere.
inline std::uint64_t load_word(const char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
inline std::uint64_t word(std::string_view bytes, std::size_t i) noexcept {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    if (8 * i + 8 <= n) return load_word(p + 8 * i);
    const std::size_t left = n - 8 * i;  // 1 to 7
    if (n >= 8) return load_word(p + n - 8) >> (8 * (8 - left));
    if (n >= 4) {
        std::uint32_t low, high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + n - 4, 4);
        return low | (std::uint64_t{high} >> (8 * (8 - n))) << 32;
    }
    std::uint64_t w = 0;
    for (std::size_t k = 0; k < n; ++k) w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    return w;
}
inline std::size_t word_count(std::size_t bytes) noexcept {
    return (bytes + 7) / 8;
}

// Encodes text into padded words, each stored whole; false when a character has no byte in the encoding,
// and for any character but ASCII in UTF-8, whose bytes outnumber its units (name_key takes that case).
bool encode_words_slowly(std::u16string_view text, platform::encoding encoding, std::uint64_t* out) noexcept;

// The same, inline and without a branch per unit for ASCII, the common case: a query encodes its names
// on every call. Eight units are narrowed at a time; a last part of fewer is read as the last eight
// units (or four) of the text, overlapping what came before, so nothing past the text is read.
inline bool encode_words(std::u16string_view text, platform::encoding encoding, std::uint64_t* out) noexcept {
#if defined(__SSE2__)
    const std::size_t n = text.size();
    const char16_t* p = text.data();
    const auto narrow = [](__m128i units) {
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(units, units)));
    };
    const auto load8 = [](const char16_t* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    const auto load4 = [](const char16_t* at) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
    };
    __m128i seen = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i v = load8(p + i);
        seen = _mm_or_si128(seen, v);
        out[i / 8] = narrow(v);
    }
    if (const std::size_t left = n - i; left > 0) {
        if (n >= 8) {
            const __m128i v = load8(p + n - 8);
            seen = _mm_or_si128(seen, v);
            out[i / 8] = narrow(v) >> (8 * (8 - left));
        } else if (n >= 4) {
            const __m128i low = load4(p), high = load4(p + n - 4);
            seen = _mm_or_si128(seen, _mm_or_si128(low, high));
            out[0] = (narrow(low) & 0xFFFFFFFFu) | ((narrow(high) & 0xFFFFFFFFu) >> (8 * (8 - n))) << 32;
        } else {
            std::uint64_t w = 0;
            unsigned units = 0;
            for (std::size_t k = 0; k < n; ++k) {
                units |= p[k];
                w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
            }
            seen = _mm_or_si128(seen, _mm_cvtsi32_si128(static_cast<int>(units)));
            out[0] = w;
        }
    }
    const __m128i above_ascii = _mm_and_si128(seen, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(above_ascii, _mm_setzero_si128())) == 0xFFFF) return true;
#endif
    return encode_words_slowly(text, encoding, out);
}

// A name asked for by a query, in both forms it is compared in: its UTF-16 units, and its bytes in the
// encoding of the loaded text when it has them (as many as its units but in UTF-8 beyond ASCII). Text the
// encoding cannot hold is filed as units (only InputConf can file such text), so two names are equal exactly
// when both have bytes and the bytes are equal, or when neither has and the units are equal.
//
// The bytes are kept as padded words, each written whole, so that reading them back word by word
// right after they were made costs no more than reading any other memory.
class name_key {
  public:
    name_key(std::u16string_view units, platform::encoding encoding) : units_(units), size_(units.size()) {
        if (units.size() <= sizeof inline_) {
            has_bytes_ = encode_words(units, encoding, inline_);
        } else {
            encode_long(encoding);
        }
        if (!has_bytes_ && encoding == platform::encoding::utf8) encode_utf8();
    }
    name_key(const name_key&) = delete;
    name_key& operator=(const name_key&) = delete;

    std::u16string_view units() const noexcept { return units_; }
    bool has_bytes() const noexcept { return has_bytes_; }
    // The number of bytes (when has_bytes()).
    std::size_t size() const noexcept { return size_; }
    std::uint64_t word(std::size_t i) const noexcept { return words_[i]; }
    // Whether bytes are this name's bytes.
    bool equals(std::string_view bytes) const noexcept {
        if (!has_bytes_ || bytes.size() != size_) return false;
        for (std::size_t i = 0; i < word_count(bytes.size()); ++i) {
            if (detail::word(bytes, i) != words_[i]) return false;
        }
        return true;
    }

  private:
    void encode_long(platform::encoding encoding);
    void encode_utf8();

    std::u16string_view units_;
    std::size_t size_;
    bool has_bytes_ = false;
    std::uint64_t inline_[6];  // a name of up to 48 bytes, without an allocation
    std::unique_ptr<std::uint64_t[]> heap_;
    const std::uint64_t* words_ = inline_;
};

}  // namespace tw_ini::detail
