// The system's single-byte character set: Windows-1252, made total so that every byte round-trips.
//
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control
// characters of the same value, so decode() is a bijection from bytes onto 256 characters and encode()
// is its inverse on them. Text read from a file and written back unchanged keeps every byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::cp1252 {

// The character a byte stands for.
char16_t decode(unsigned char byte) noexcept;

// The byte that stands for a character; false when the character is outside the set.
bool encode(char16_t ch, unsigned char& byte) noexcept;

// Whole strings. encode() gives nothing when any character is outside the set.
std::u16string decode(std::string_view bytes);
void decode_append(std::string_view bytes, std::u16string& out);
std::optional<std::string> encode(std::u16string_view text);

}  // namespace platform::cp1252
