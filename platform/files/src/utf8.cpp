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
    std::size_t i = 0;
    std::size_t first_bad = std::string_view::npos;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        auto cont = [&](std::size_t k) {
            return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        };
        auto byte = [&](std::size_t k) {
            return static_cast<char32_t>(static_cast<unsigned char>(text[i + k]) & 0x3F);
        };
        bool valid = true;
        if (b0 < 0x80) {
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
            cp = ((b0 & 0x1Fu) << 6) | byte(1);
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2) &&
                   (((b0 & 0x0Fu) << 12) | (byte(1) << 6) | byte(2)) >= 0x800 &&
                   ((((b0 & 0x0Fu) << 12) | (byte(1) << 6) | byte(2)) < 0xD800 ||
                    (((b0 & 0x0Fu) << 12) | (byte(1) << 6) | byte(2)) > 0xDFFF)) {
            cp = ((b0 & 0x0Fu) << 12) | (byte(1) << 6) | byte(2);
            len = 3;
        } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3) &&
                   (((b0 & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3)) >= 0x10000 &&
                   (((b0 & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3)) <= 0x10FFFF) {
            cp = ((b0 & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
            len = 4;
        } else {
            valid = false;
        }
        if (!valid) {
            if (first_bad == std::string_view::npos) first_bad = i;
            if (strict) return first_bad;
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
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
