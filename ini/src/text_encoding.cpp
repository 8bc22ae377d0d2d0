#include "text_encoding.hpp"

#include "tarnwick/files/cp1252.hpp"

namespace tw_ini::detail {

bool encode(std::u16string_view text, text_encoding, std::string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (text[i] >= 0x80 && !platform::cp1252::encode(text[i], byte)) return false;
        out[i] = static_cast<char>(byte);
    }
    return true;
}

bool encode_words_slowly(std::u16string_view text, text_encoding, std::uint64_t* out) noexcept {
    for (std::size_t i = 0; i < text.size(); i += 8) {
        std::uint64_t word = 0;
        for (std::size_t k = 0; k < 8 && i + k < text.size(); ++k) {
            unsigned char byte;
            if (!platform::cp1252::encode(text[i + k], byte)) return false;
            word |= std::uint64_t{byte} << (8 * k);
        }
        out[i / 8] = word;
    }
    return true;
}

void name_key::encode_long(text_encoding encoding) {
    heap_ = std::make_unique<std::uint64_t[]>(word_count(units_.size()));
    words_ = heap_.get();
    has_bytes_ = encode_words(units_, encoding, heap_.get());
}

}  // namespace tw_ini::detail
