/// @file
/// UTF-8, the text of the file system, of command lines and of most programs on Linux, and the controls'
/// strings (UTF-16, platform::string).
#pragma once

#include <string>
#include <string_view>

#include "tarnwick/files/types.hpp"

namespace platform {

/// The controls' string of UTF-8 text that an INI file can hold, for a C++ program that gives the
/// controls its own text. Run-time error 5, saying where, when the text is not UTF-8 ("byte 0xFF at
/// byte 3 is not UTF-8"), or when it holds a character that the files' character set, Windows-1252, has
/// no byte for ("U+4E2D at character 2"): such a character is never passed on as a "?" or any other
/// stand-in.
string file_text_from_utf8(std::string_view utf8);

/// The UTF-8 of the controls' string: of every text a control reads from a file, exactly.
std::string utf8_from_text(const string& text);

/// Where text first is not UTF-8: the index of the byte, or std::string_view::npos when it all is.
std::size_t invalid_utf8_at(std::string_view text);
/// "byte 0xFF at byte 4 is not UTF-8", for the byte invalid_utf8_at() found.
std::string not_utf8(std::string_view text, std::size_t at);

/// UTF-8 form of a path. A NUL or an unpaired surrogate cannot name a file: run-time error 52.
std::string native_path(std::u16string_view path);

/// UTF-16 form of UTF-8 text; an invalid sequence becomes U+FFFD.
std::u16string from_utf8(std::string_view text);

/// UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string to_utf8(std::u16string_view text);

/// Appends the UTF-8 bytes of one code point.
void append_utf8(std::string& out, char32_t c);

/// The length of the valid UTF-8 sequence at bytes[at] (1 to 4: shortest forms, no surrogates, nothing
/// beyond U+10FFFF), or 0 when none starts there.
std::size_t utf8_sequence_at(std::string_view bytes, std::size_t at) noexcept;
/// The code point of a valid sequence of that length at p.
char32_t utf8_code_point(const unsigned char* p, std::size_t length) noexcept;

}  // namespace platform
