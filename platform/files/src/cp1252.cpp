#include "tarnwick/files/cp1252.hpp"

#include <array>

namespace platform::cp1252 {
namespace {

// Bytes 0x80 to 0x9F. The five undefined in Windows-1252 stand for themselves.
constexpr std::array<char16_t, 32> high_c1 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr std::array<char16_t, 256> make_table() {
    std::array<char16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<char16_t>(i);
    for (unsigned i = 0; i < 32; ++i) table[0x80 + i] = high_c1[i];
    return table;
}

constexpr std::array<char16_t, 256> to_unicode = make_table();

}  // namespace

char16_t decode(unsigned char byte) noexcept {
    return to_unicode[byte];
}

bool encode(char16_t ch, unsigned char& byte) noexcept {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        byte = static_cast<unsigned char>(ch);
        return true;
    }
    for (unsigned i = 0; i < high_c1.size(); ++i) {
        if (high_c1[i] == ch) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

void decode_high_bytes(std::string_view bytes, char16_t* out) noexcept {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte & 0x80) out[i] = to_unicode[byte];
    }
}

void decode_append(std::string_view bytes, std::u16string& out) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    decode_into(bytes, out.data() + start);
}

std::u16string decode(std::string_view bytes) {
    std::u16string out;
    decode_append(bytes, out);
    return out;
}

std::optional<std::string> encode(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char byte;
        if (!encode(text[i], byte)) return std::nullopt;
        out[i] = static_cast<char>(byte);
    }
    return out;
}

}  // namespace platform::cp1252
