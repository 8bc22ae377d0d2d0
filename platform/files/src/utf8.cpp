#include "tarnwick/files/utf8.hpp"

#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace platform {
namespace {

bool is_high(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Converts text; false at the first NUL or unpaired surrogate when strict.
bool convert(std::u16string_view text, std::string& out, bool strict) {
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        char32_t cp = c;
        if (is_high(c) && i + 1 < text.size() && is_low(text[i + 1])) {
            cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_high(c) || is_low(c)) {
            if (strict) return false;
            cp = 0xFFFD;
        } else if (c == 0 && strict) {
            return false;
        }
        append_utf8(out, cp);
    }
    return true;
}

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::size_t utf8_sequence_at(std::string_view bytes, std::size_t at) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    const std::size_t left = bytes.size() - at;
    const unsigned char b = p[0];
    if (b < 0x80) return 1;
    auto continues = [&](std::size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF) return continues(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (!continues(1) || !continues(2)) return 0;
        if (b == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (b == 0xED && p[1] >= 0xA0) return 0;  // a surrogate
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (!continues(1) || !continues(2) || !continues(3)) return 0;
        if (b == 0xF0 && p[1] < 0x90) return 0;   // overlong
        if (b == 0xF4 && p[1] >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

char32_t utf8_code_point(const unsigned char* p, std::size_t length) noexcept {
    switch (length) {
        case 1:
            return p[0];
        case 2:
            return (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
        case 3:
            return (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
        default:
            return (char32_t{p[0] & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) |
                   (char32_t{p[2] & 0x3Fu} << 6) | (p[3] & 0x3Fu);
    }
}

std::string native_path(std::u16string_view path) {
    std::string out;
    if (!convert(path, out, true)) {
        throw runtime_error(err::bad_file_name, "a path cannot hold a NUL or an unpaired surrogate");
    }
    return out;
}

std::string to_utf8(std::u16string_view text) {
    std::string out;
    convert(text, out, false);
    return out;
}

namespace {

// Decodes text into out; returns the offset of the first byte that is not UTF-8 (which strict decoding
// stops at), or npos. Lenient decoding puts U+FFFD for each such byte and goes on.
std::size_t decode(std::string_view text, std::u16string& out, bool strict) {
    out.reserve(out.size() + text.size());
    std::size_t first_bad = std::string_view::npos;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence_at(text, i);
        char32_t cp = 0xFFFD;
        if (length == 0) {
            if (first_bad == std::string_view::npos) first_bad = i;
            if (strict) return first_bad;
        } else {
            cp = utf8_code_point(p + i, length);
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length == 0 ? 1 : length;
    }
    return first_bad;
}

std::string hex(unsigned value, int digits) {
    static constexpr char digit[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = digit[value & 0xF];
    return text;
}

}  // namespace

std::u16string from_utf8(std::string_view text) {
    std::u16string out;
    decode(text, out, false);
    return out;
}

std::size_t invalid_utf8_at(std::string_view text) {
    string out;
    return decode(text, out, true);
}

std::string not_utf8(std::string_view text, std::size_t at) {
    return "byte 0x" + hex(static_cast<unsigned char>(text[at]), 2) + " at byte " + std::to_string(at + 1) +
           " is not UTF-8";
}

string file_text_from_utf8(std::string_view utf8) {
    string out;
    if (const std::size_t bad = decode(utf8, out, true); bad != std::string_view::npos) {
        throw runtime_error(err::invalid_call, not_utf8(utf8, bad));
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char byte = 0;
        if (cp1252::encode(out[i], byte)) continue;
        char32_t cp = out[i];
        if (is_high(out[i]) && i + 1 < out.size()) {
            cp = 0x10000 + ((static_cast<char32_t>(out[i]) - 0xD800) << 10) + (out[i + 1] - 0xDC00);
        }
        std::size_t character = 1;
        for (std::size_t k = 0; k < i; ++k) character += is_low(out[k]) ? 0 : 1;
        throw runtime_error(err::invalid_call, "U+" + hex(static_cast<unsigned>(cp), cp > 0xFFFF ? 6 : 4) +
                                                   " at character " + std::to_string(character) +
                                                   " has no byte in the files' character set (Windows-1252)");
    }
    return out;
}

std::string utf8_from_text(const string& text) {
    return to_utf8(text);
}

}  // namespace platform
