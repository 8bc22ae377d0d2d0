#include "tarnwick/files/buffer_pool.hpp"

#include <vector>

namespace platform {
namespace {

// A few spare buffers per thread are enough: nesting deeper than that is rare and merely allocates.
constexpr std::size_t max_spare = 4;

std::vector<std::unique_ptr<char[]>>& spares() {
    thread_local std::vector<std::unique_ptr<char[]>> pool;
    return pool;
}

}  // namespace

buffer_lease::buffer_lease() {
    auto& pool = spares();
    if (pool.empty()) {
        buffer_ = std::make_unique_for_overwrite<char[]>(io_buffer_size);
    } else {
        buffer_ = std::move(pool.back());
        pool.pop_back();
    }
}

buffer_lease::~buffer_lease() {
    auto& pool = spares();
    if (pool.size() < max_spare) pool.push_back(std::move(buffer_));
}

}  // namespace platform
