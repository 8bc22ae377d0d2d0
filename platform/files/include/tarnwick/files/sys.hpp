// The file-system seam: every system call the file layer, the writer and the registry make goes
// through this one table.
//
// Production code uses the real calls. A test may replace an entry, for example to make the third write
// fail with ENOSPC, to make every read return one byte, or to interrupt a call with EINTR, and the file
// layer's error handling and errno mapping then run exactly as they would for a real failure. The table
// is process-wide and not synchronised: swap entries only while no other thread does file I/O through it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace platform::sys {

struct table {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buffer, std::size_t count);
    ssize_t (*write)(int fd, const void* buffer, std::size_t count);
    int (*fsync)(int fd);
    int (*stat)(const char* path, struct stat* status);
    int (*fstat)(int fd, struct stat* status);
    int (*unlink)(const char* path);
    int (*rename)(const char* from, const char* to);
    int (*flock)(int fd, int operation);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*lstat)(const char* path, struct stat* status);
    ssize_t (*pread)(int fd, void* buffer, std::size_t count, off_t offset);
    int (*mkdir)(const char* path, mode_t mode);
    // realpath(3) with a buffer of PATH_MAX bytes: not a system call, but it reads the file system.
    char* (*realpath)(const char* path, char* resolved);
    // copy_file_range(2) from *from_offset of `from` (which it advances) to the current offset of `to`.
    ssize_t (*copy_file_range)(int from, off_t* from_offset, int to, std::size_t count);
    // openat(2): path relative to the directory open at dir.
    int (*openat)(int dir, const char* path, int flags, mode_t mode);
    // readlinkat(2): the target of the symbolic link path in dir ("" for dir itself, open with O_PATH on
    // a link); not terminated.
    ssize_t (*readlinkat)(int dir, const char* path, char* buffer, std::size_t size);
};

// The live table.
table& calls() noexcept;

// The real system calls, for a test that wraps them.
const table& real() noexcept;

}  // namespace platform::sys
