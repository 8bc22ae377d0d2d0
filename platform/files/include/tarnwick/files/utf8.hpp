// Paths arrive as UTF-16 strings and go to the file system as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 form of a path. A NUL or an unpaired surrogate cannot name a file: run-time error 52.
std::string native_path(std::u16string_view path);

// UTF-16 form of UTF-8 text; an invalid sequence becomes U+FFFD.
std::u16string from_utf8(std::string_view text);

// UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string to_utf8(std::u16string_view text);

}  // namespace platform
