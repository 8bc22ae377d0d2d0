// The character set of the file an operation works on, as the Encoding setting says: fixed, or found in
// the file (read for it only when text that is not ASCII must be encoded or decoded: ASCII is the same
// bytes in every set).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/types.hpp"

namespace penmoor {

class text_set {
  public:
    // setting: the Encoding setting; source: the file, when there is one.
    text_set(std::int16_t setting, platform::file* source)
        : setting_(static_cast<platform::encoding>(setting)), source_(source) {}

    platform::encoding get() {
        if (setting_ != platform::encoding::as_found) return setting_;
        if (!found_) found_ = source_ ? platform::codec::of_file(*source_) : platform::encoding::utf8;
        return *found_;
    }
    // A UTF-8 byte-order mark may start the file (and is then no part of its first line).
    bool may_have_byte_order_mark() const { return setting_ != platform::encoding::cp1252; }

    // A name in the file's bytes; nothing when it has none there (it is then never found).
    std::optional<std::string> bytes(const platform::string& text) {
        if (is_ascii(text)) return std::string(text.begin(), text.end());
        return platform::codec::encode(text, get());
    }
    // Bytes of the file as text.
    platform::string text(std::string_view bytes) {
        if (is_ascii(bytes)) return platform::string(bytes.begin(), bytes.end());
        return platform::codec::decode(bytes, get());
    }

  private:
    template <class S>
    static bool is_ascii(const S& s) {
        for (const auto c : s) {
            if (static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(c)) >=
                0x80)
                return false;
        }
        return true;
    }

    platform::encoding setting_;
    platform::file* source_;
    std::optional<platform::encoding> found_;
};

}  // namespace penmoor
