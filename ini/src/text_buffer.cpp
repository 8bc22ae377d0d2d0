#include "text_buffer.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "tarnwick/files/runtime_error.hpp"

namespace tw_ini::detail {
namespace {

constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t first_capacity = 4096;

}  // namespace

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
