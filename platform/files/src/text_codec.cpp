#include "tarnwick/files/text_codec.hpp"

#include <cstring>
#include <memory>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace platform {
namespace {

std::size_t sequence_at(std::string_view bytes, std::size_t at) noexcept {
    return utf8_sequence_at(bytes, at);
}

char32_t code_point(const unsigned char* p, std::size_t length) noexcept {
    return utf8_code_point(p, length);
}

}  // namespace

void check_encoding_setting(std::int16_t setting) {
    if (setting < 0 || setting > 2) {
        throw runtime_error(
            err::invalid_call,
            "Encoding is 0 (Windows-1252), 1 (UTF-8) or 2 (as found), not " + std::to_string(setting));
    }
}

namespace codec {

bool valid_utf8(std::string_view bytes) noexcept {
    for (std::size_t at = 0; at < bytes.size();) {
        // ASCII eight bytes at a time.
        if (at + 8 <= bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + at, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                at += 8;
                continue;
            }
        }
        const std::size_t n = sequence_at(bytes, at);
        if (n == 0) return false;
        at += n;
    }
    return true;
}

encoding of_file(file& f) {
    constexpr std::size_t size = buffer_size(64 * 1024);
    const auto chunk = std::make_unique<char[]>(size + 3);
    std::size_t carried = 0;  // the start of a sequence cut off by the end of the last read
    bool first = true;
    for (off_t at = 0;;) {
        const std::size_t n = f.read_at(chunk.get() + carried, size, at);
        if (first && n + carried >= 3 && std::string_view(chunk.get(), 3) == utf8_bom) return encoding::utf8;
        first = false;
        if (n == 0)
            return valid_utf8(std::string_view(chunk.get(), carried)) ? encoding::utf8 : encoding::cp1252;
        at += static_cast<off_t>(n);
        const std::string_view bytes(chunk.get(), carried + n);
        // Up to the last sequence that may go on in the next read.
        std::size_t end = bytes.size();
        for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
            const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
            if ((b & 0xC0) == 0xC0) {
                end = bytes.size() - back;
                break;
            }
            if (b < 0x80) break;
        }
        if (!valid_utf8(bytes.substr(0, end))) return encoding::cp1252;
        carried = bytes.size() - end;
        std::memmove(chunk.get(), bytes.data() + end, carried);
    }
}

std::u16string decode(std::string_view bytes, encoding set) {
    if (set != encoding::utf8) return cp1252::decode(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = sequence_at(bytes, at);
        if (n == 0) {
            out += static_cast<char16_t>(0xDC00 + p[at]);  // a byte that is not UTF-8, kept
            ++at;
            continue;
        }
        const char32_t c = code_point(p + at, n);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        at += n;
    }
    return out;
}

std::optional<std::string> encode(std::u16string_view text, encoding set) {
    if (set != encoding::utf8) return cp1252::encode(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += static_cast<char>(c - 0xDC00);  // a byte that was not UTF-8, back as it was
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return std::nullopt;
        } else {
            append_utf8(out, c);
        }
    }
    return out;
}

std::string to_utf8(std::string_view bytes, encoding set) {
    if (set == encoding::utf8) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes) append_utf8(out, cp1252::decode(static_cast<unsigned char>(b)));
    return out;
}

}  // namespace codec
}  // namespace platform
