#include "platform/sys.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <cstdio>
#include <unistd.h>

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
};

table live_calls = real_calls;

}  // namespace

table& calls() noexcept { return live_calls; }
const table& real() noexcept { return real_calls; }

}  // namespace platform::sys
