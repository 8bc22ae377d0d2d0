// The file-system seam: every system call the file layer, the writer and the registry make goes
// through this one table.
//
// Production code uses the real calls. A test may replace an entry, for example to make the third write
// fail with ENOSPC, to make every read return one byte, to interrupt a call with EINTR, or to let another
// "process" act just before a chosen call; the file layer's error handling and errno mapping then run
// exactly as they would for a real failure. The table is process-wide and not synchronised: swap entries
// only while no other thread does file I/O through it.
//
// The calls are listed once, in TARNWICK_SYSTEM_CALLS; the table, the real calls and the tests' fault
// injector are all made from that list, so a new call is one line here.
#pragma once

#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>

#include <cstddef>

// X(name, kind, result, (parameters), (arguments), the real call). `kind` groups calls for fault
// injection: every call of a kind counts together (open and openat are both opens), and the kinds read,
// write and copy are transfers, which a test may cut short or interrupt.
#define TARNWICK_SYSTEM_CALLS(X)                                                                            \
    X(open, open, int, (const char* path, int flags, mode_t mode), (path, flags, mode),                     \
      ::open(path, flags, mode))                                                                            \
    X(openat, open, int, (int dir, const char* name, int flags, mode_t mode), (dir, name, flags, mode),     \
      ::openat(dir, name, flags, mode))                                                                     \
    X(close, close, int, (int fd), (fd), ::close(fd))                                                       \
    X(read, read, ssize_t, (int fd, void* buffer, std::size_t count), (fd, buffer, count),                  \
      ::read(fd, buffer, count))                                                                            \
    X(pread, read, ssize_t, (int fd, void* buffer, std::size_t count, off_t offset),                        \
      (fd, buffer, count, offset), ::pread(fd, buffer, count, offset))                                      \
    X(write, write, ssize_t, (int fd, const void* buffer, std::size_t count), (fd, buffer, count),          \
      ::write(fd, buffer, count))                                                                           \
    /* copy_file_range(2) from *from_offset of `from` (which it advances) to the offset of `to`. */         \
    X(copy_file_range, copy, ssize_t, (int from, off_t* from_offset, int to, std::size_t count),            \
      (from, from_offset, to, count), ::copy_file_range(from, from_offset, to, nullptr, count, 0))          \
    X(fsync, fsync, int, (int fd), (fd), ::fsync(fd))                                                       \
    X(stat, stat, int, (const char* path, struct stat* status), (path, status), ::stat(path, status))       \
    X(lstat, lstat, int, (const char* path, struct stat* status), (path, status), ::lstat(path, status))    \
    X(fstat, fstat, int, (int fd, struct stat* status), (fd, status), ::fstat(fd, status))                  \
    X(fstatat, lstat, int, (int dir, const char* name, struct stat* status, int flags),                     \
      (dir, name, status, flags), ::fstatat(dir, name, status, flags))                                      \
    X(unlink, unlink, int, (const char* path), (path), ::unlink(path))                                      \
    X(unlinkat, unlink, int, (int dir, const char* name, int flags), (dir, name, flags),                    \
      ::unlinkat(dir, name, flags))                                                                         \
    X(rename, rename, int, (const char* from, const char* to), (from, to), ::rename(from, to))              \
    /* renameat2(2): flags 0 replaces what is at `to`, RENAME_NOREPLACE fails with EEXIST instead. */       \
    X(renameat, rename, int, (int from_dir, const char* from, int to_dir, const char* to, unsigned flags),  \
      (from_dir, from, to_dir, to, flags), ::renameat2(from_dir, from, to_dir, to, flags))                  \
    X(linkat, link, int, (int from_dir, const char* from, int to_dir, const char* to, int flags),           \
      (from_dir, from, to_dir, to, flags), ::linkat(from_dir, from, to_dir, to, flags))                     \
    X(flock, flock, int, (int fd, int operation), (fd, operation), ::flock(fd, operation))                  \
    X(fchmod, fchmod, int, (int fd, mode_t mode), (fd, mode), ::fchmod(fd, mode))                           \
    X(fchown, fchown, int, (int fd, uid_t owner, gid_t group), (fd, owner, group),                          \
      ::fchown(fd, owner, group))                                                                           \
    X(mkdir, mkdir, int, (const char* path, mode_t mode), (path, mode), ::mkdir(path, mode))                \
    /* memfd_create(2): a file of no name in memory. */                                                     \
    X(memfd_create, open, int, (const char* name, unsigned flags), (name, flags),                           \
      ::memfd_create(name, flags))                                                                          \
    /* readlinkat(2): the target of the link `name` in dir ("" for dir itself, open with O_PATH on a link); \
     * not terminated. */                                                                                   \
    X(readlinkat, readlink, ssize_t, (int dir, const char* name, char* buffer, std::size_t size),           \
      (dir, name, buffer, size), ::readlinkat(dir, name, buffer, size))                                     \
    /* realpath(3) with a buffer of PATH_MAX bytes: not a system call, but it reads the file system. */     \
    X(realpath, realpath, char*, (const char* path, char* resolved), (path, resolved),                      \
      ::realpath(path, resolved))                                                                           \
    X(flistxattr, xattr, ssize_t, (int fd, char* list, std::size_t size), (fd, list, size),                 \
      ::flistxattr(fd, list, size))                                                                         \
    X(fgetxattr, xattr, ssize_t, (int fd, const char* name, void* value, std::size_t size),                 \
      (fd, name, value, size), ::fgetxattr(fd, name, value, size))                                          \
    X(fsetxattr, setxattr, int, (int fd, const char* name, const void* value, std::size_t size, int flags), \
      (fd, name, value, size, flags), ::fsetxattr(fd, name, value, size, flags))                            \
    X(fremovexattr, setxattr, int, (int fd, const char* name), (fd, name), ::fremovexattr(fd, name))

namespace platform::sys {

struct table {
#define TARNWICK_SYSTEM_CALL_ENTRY(name, kind, result, parameters, arguments, real) result(*name) parameters;
    TARNWICK_SYSTEM_CALLS(TARNWICK_SYSTEM_CALL_ENTRY)
#undef TARNWICK_SYSTEM_CALL_ENTRY
};

// The live table.
table& calls() noexcept;

// The real system calls, for a test that wraps them.
const table& real() noexcept;

}  // namespace platform::sys
