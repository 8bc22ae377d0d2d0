/// @file
/// The character sets an INI file may hold its text in, as the controls' Encoding setting names them:
/// Windows-1252 (the format's own), UTF-8, or whichever the file's bytes show.
///
/// In UTF-8, bytes that are not valid UTF-8 are kept, never replaced: each such byte reads as a lone
/// surrogate U+DC80 ... U+DCFF and is written back as the byte it stands for, so text read from such
/// bytes round-trips, and lines a call does not change keep every byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"

namespace platform {

/// The controls' Encoding setting.
enum class encoding : std::int16_t {
    cp1252 = 0,    ///< Windows-1252: every byte one character, the default
    utf8 = 1,      ///< UTF-8, bytes that are not UTF-8 kept as lone surrogates
    as_found = 2,  ///< UTF-8 where the file's bytes are valid UTF-8 (or it starts with a UTF-8
                   ///< byte-order mark, or is empty or missing), else Windows-1252
};

/// The UTF-8 byte-order mark, which a file may start with: kept, and no part of the first line's text.
inline constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

/// Run-time error 5 unless setting is one of the three.
void check_encoding_setting(std::int16_t setting);

namespace codec {

/// Whether bytes are valid UTF-8 (shortest forms, no surrogates, nothing beyond U+10FFFF).
bool valid_utf8(std::string_view bytes) noexcept;
/// The character set of a file as Encoding 2 says: UTF-8 when it starts with the byte-order mark, is
/// empty, or is valid UTF-8 throughout (read to its end, or to the first byte that is not).
encoding of_file(file& f);

/// The text of bytes in a character set (cp1252 or utf8).
std::u16string decode(std::string_view bytes, encoding set);
/// The bytes of text in a character set; nothing when a character has none (outside Windows-1252, or an
/// unpaired surrogate that stands for no byte).
std::optional<std::string> encode(std::u16string_view text, encoding set);
/// UTF-8 of bytes in a character set, for a program: Windows-1252 decoded; UTF-8 as it stands, bytes
/// that are not UTF-8 included.
std::string to_utf8(std::string_view bytes, encoding set);

}  // namespace codec
}  // namespace platform
