#include "text_encoding.hpp"

#include "tarnwick/files/cp1252.hpp"

namespace tw_ini::detail {

platform::string decode(std::string_view bytes, text_encoding) {
    platform::string text(bytes.size(), u'\0');
    platform::cp1252::decode_into(bytes, text.data());
    return text;
}

bool encode(std::u16string_view text, text_encoding, std::string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (text[i] >= 0x80 && !platform::cp1252::encode(text[i], byte)) return false;
        out[i] = static_cast<char>(byte);
    }
    return true;
}

bool encode_word(std::u16string_view units, text_encoding, std::uint64_t& word) noexcept {
    word = 0;
    for (std::size_t k = 0; k < units.size(); ++k) {
        unsigned char byte;
        if (!platform::cp1252::encode(units[k], byte)) return false;
        word |= std::uint64_t{byte} << (8 * k);
    }
    return true;
}

void name_key::encode_long(text_encoding encoding) {
    heap_ = std::make_unique<std::uint64_t[]>(word_count(units_.size()));
    words_ = heap_.get();
    has_bytes_ = encode_words(units_, encoding, heap_.get());
}

}  // namespace tw_ini::detail
