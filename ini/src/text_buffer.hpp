// The text of the tables: one UTF-16 buffer that grows by appending and is emptied by clear(), which
// keeps its memory for the next load (fresh memory is slow to touch). Appending writes each unit once.
//
// Appending is inline: a load appends once per line, and the call would cost more than the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "tarnwick/files/cp1252.hpp"

namespace tw_ini::detail {

class text_buffer {
  public:
    void clear() noexcept { size_ = 0; }
    std::size_t size() const noexcept { return size_; }
    std::u16string_view view(std::uint32_t offset, std::uint32_t length) const noexcept {
        return {data_.get() + offset, length};
    }

    // Append units, or bytes decoded from Windows-1252 (one unit per byte), and return the offset where
    // they start. Offsets are 32-bit: text beyond 4,294,967,295 units is run-time error 7, raised before
    // anything is appended.
    std::uint32_t append(std::u16string_view units) {
        const auto at = static_cast<std::uint32_t>(size_);
        std::memcpy(extend(units.size()), units.data(), units.size() * sizeof(char16_t));
        return at;
    }
    std::uint32_t append_decoded(std::string_view bytes) {
        const auto at = static_cast<std::uint32_t>(size_);
        platform::cp1252::decode_into(bytes, extend(bytes.size()));
        return at;
    }

  private:
    char16_t* extend(std::size_t units) {
        if (units > capacity_ - size_) grow(units);
        char16_t* const at = data_.get() + size_;
        size_ += units;
        return at;
    }
    void grow(std::size_t units);

    struct release {
        void operator()(char16_t* p) const noexcept { std::free(p); }
    };
    // From malloc, so that growing can realloc: a large block is then moved by remapping its pages, not
    // by copying them into fresh ones.
    std::unique_ptr<char16_t[], release> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tw_ini::detail
