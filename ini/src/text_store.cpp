#include "text_store.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "tarnwick/files/runtime_error.hpp"

namespace tw_ini::detail {
namespace {

constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t first_capacity = 4096;

[[noreturn]] void too_much_text() {
    throw platform::runtime_error(platform::err::out_of_memory,
                                  "the tables hold at most 4294967295 bytes of text");
}

}  // namespace

char* text_store::room(std::size_t wanted, std::size_t& available) {
    if (wanted > capacity_ - size_) grow(wanted);
    available = capacity_ - size_;
    return data_.get() + size_;
}

void text_store::reserve(std::size_t bytes) {
    if (bytes > capacity_) reallocate(std::min(limit, bytes));
}

void text_store::grow(std::size_t wanted) {
    if (wanted > limit - size_) too_much_text();
    const std::size_t needed = size_ + wanted;
    reallocate(std::min(limit, std::max({needed, capacity_ + capacity_ / 2, first_capacity})));
}

void text_store::reallocate(std::size_t capacity) {
    void* data = std::realloc(data_.get(), capacity);
    if (!data) throw std::bad_alloc();
    data_.release();
    data_.reset(static_cast<char*>(data));
    capacity_ = capacity;
}

std::uint32_t text_store::append_units(std::u16string_view units) {
    if (units.size() > limit - units_.size()) too_much_text();
    const auto offset = static_cast<std::uint32_t>(units_.size());
    units_.append(units);
    return offset;
}

}  // namespace tw_ini::detail
