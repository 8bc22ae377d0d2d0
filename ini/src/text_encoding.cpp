#include "text_encoding.hpp"

#include <cstring>

#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace tw_ini::detail {

platform::string decode_utf8(std::string_view bytes) {
    return platform::codec::decode(bytes, platform::encoding::utf8);
}

bool encode(std::u16string_view text, platform::encoding encoding, std::string& out) {
    if (encoding == platform::encoding::utf8) {
        std::optional<std::string> bytes = platform::codec::encode(text, platform::encoding::utf8);
        if (!bytes) return false;
        out = std::move(*bytes);
        return true;
    }
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (text[i] >= 0x80 && !platform::cp1252::encode(text[i], byte)) return false;
        out[i] = static_cast<char>(byte);
    }
    return true;
}

bool encode_words_slowly(std::u16string_view text, platform::encoding encoding, std::uint64_t* out) noexcept {
    for (std::size_t i = 0; i < text.size(); i += 8) {
        std::uint64_t word = 0;
        for (std::size_t k = 0; k < 8 && i + k < text.size(); ++k) {
            unsigned char byte = static_cast<unsigned char>(text[i + k]);
            if (text[i + k] >= 0x80 &&
                (encoding == platform::encoding::utf8 || !platform::cp1252::encode(text[i + k], byte)))
                return false;
            word |= std::uint64_t{byte} << (8 * k);
        }
        out[i / 8] = word;
    }
    return true;
}

void name_key::encode_long(platform::encoding encoding) {
    heap_ = std::make_unique<std::uint64_t[]>(word_count(units_.size()));
    words_ = heap_.get();
    has_bytes_ = encode_words(units_, encoding, heap_.get());
}

void name_key::encode_utf8() {
    const std::optional<std::string> bytes = platform::codec::encode(units_, platform::encoding::utf8);
    if (!bytes) return;
    size_ = bytes->size();
    const std::size_t words = word_count(size_);
    std::uint64_t* out = inline_;
    if (words > std::size(inline_)) {
        heap_ = std::make_unique<std::uint64_t[]>(words);
        out = heap_.get();
    }
    words_ = out;
    for (std::size_t i = 0; i < words; ++i) out[i] = detail::word(*bytes, i);
    has_bytes_ = true;
}

}  // namespace tw_ini::detail
