// Reusable I/O buffers. Fresh memory is slow to touch, so a buffer goes back to its thread's pool when
// its lease ends and the next scan on that thread takes it again. Nested scans (an event handler that
// calls another operation while a file is open) each lease a buffer of their own.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace platform {

// A build with TARNWICK_SMALL_BUFFERS makes every buffer of files and lines a few dozen bytes, so that
// every test crosses their edges: a line split by the end of a read, a line longer than the buffer, a
// scan that runs ahead past what the buffer holds.
#if defined(TARNWICK_SMALL_BUFFERS)
inline constexpr bool small_buffers = true;
#else
inline constexpr bool small_buffers = false;
#endif

// The size of a buffer that is `normal` bytes in a normal build.
constexpr std::size_t buffer_size(std::size_t normal) noexcept {
    return small_buffers && normal > 48 ? 48 : normal;
}

// Large enough that reading and writing a big file costs few system calls (a scan of a 50 MB file runs
// at about four fifths of the speed of read(2) with 1 MiB, half with 64 KiB); a small file touches only
// the pages it fills.
inline constexpr std::size_t io_buffer_size = small_buffers ? 64 : 1024 * 1024;

class buffer_lease {
  public:
    buffer_lease();
    ~buffer_lease();
    buffer_lease(const buffer_lease&) = delete;
    buffer_lease& operator=(const buffer_lease&) = delete;

    std::span<char> span() noexcept { return {buffer_.get(), io_buffer_size}; }

  private:
    std::unique_ptr<char[]> buffer_;
};

}  // namespace platform
