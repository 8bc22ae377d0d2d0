#include "tarnwick/files/sys.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::sys {
namespace {

constexpr table real_calls = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::close,
    ::read,
    ::write,
    ::fsync,
    [](const char* path, struct stat* status) { return ::stat(path, status); },
    [](int fd, struct stat* status) { return ::fstat(fd, status); },
    ::unlink,
    ::rename,
    ::flock,
    ::fchmod,
    ::fchown,
    [](const char* path, struct stat* status) { return ::lstat(path, status); },
    ::pread,
    ::mkdir,
    [](const char* path, char* resolved) { return ::realpath(path, resolved); },
    [](int from, off_t* from_offset, int to, std::size_t count) {
        return ::copy_file_range(from, from_offset, to, nullptr, count, 0);
    },
    [](int dir, const char* path, int flags, mode_t mode) { return ::openat(dir, path, flags, mode); },
    ::readlinkat,
};

table live_calls = real_calls;

}  // namespace

table& calls() noexcept {
    return live_calls;
}
const table& real() noexcept {
    return real_calls;
}

}  // namespace platform::sys
