#include "text_buffer.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

#include "platform/cp1252.hpp"
#include "platform/runtime_error.hpp"

namespace tw_ini::detail {
namespace {

constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t first_capacity = 4096;

// The characters of bytes 0x80 to 0xFF.
const std::array<char16_t, 128>& high_half() {
    static const std::array<char16_t, 128> table = [] {
        std::array<char16_t, 128> t{};
        for (unsigned i = 0; i < t.size(); ++i) {
            t[i] = platform::cp1252::decode(static_cast<unsigned char>(0x80 + i));
        }
        return t;
    }();
    return table;
}

}  // namespace

void text_buffer::decode_high(std::string_view bytes, char16_t* out) noexcept {
    const auto& high = high_half();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte & 0x80) out[i] = high[byte & 0x7F];
    }
}

void text_buffer::grow(std::size_t units) {
    if (units > limit - size_) {
        throw platform::runtime_error(platform::err::out_of_memory,
                                      "the tables hold at most 4294967295 characters of text");
    }
    const std::size_t capacity = std::min(limit, std::max({size_ + units, 2 * capacity_, first_capacity}));
    void* data = std::realloc(data_.get(), capacity * sizeof(char16_t));
    if (!data) throw std::bad_alloc();
    data_.release();
    data_.reset(static_cast<char16_t*>(data));
    capacity_ = capacity;
}

}  // namespace tw_ini::detail
