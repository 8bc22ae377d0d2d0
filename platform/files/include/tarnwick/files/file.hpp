// Files through the seam of sys.hpp, with errno translated to run-time errors in one place.
//
// Every failure throws platform::runtime_error whose number follows errno (table in file.cpp) and whose
// message keeps the operation, the path and the system's own text:
// "Disk full: cannot write 'app.ini.twtemp' (No space left on device)".
//
// Reads and writes loop: a read that returns fewer bytes than asked for is never taken for the end of
// the file (only a read that returns nothing is), a write goes on until every byte is written, and a
// call interrupted by a signal (EINTR) is made again.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The run-time error number for a failed call. ENOENT is 53 (file not found) when the path's directory
// exists and 76 (path not found) when it does not.
int error_number(int errno_value, const std::string& path);

// Throws the run-time error for errno_value: "<description>: cannot <operation> '<path>' (<strerror>)".
[[noreturn]] void throw_errno(int errno_value, std::string_view operation, const std::string& path);

// An open file descriptor. The destructor closes it and ignores errors; close() reports them.
class file {
  public:
    file() noexcept = default;
    file(int fd, std::string path) noexcept : fd_(fd), path_(std::move(path)) {}
    file(file&& other) noexcept;
    file& operator=(file&& other) noexcept;
    file(const file&) = delete;
    file& operator=(const file&) = delete;
    ~file();

    bool is_open() const noexcept { return fd_ >= 0; }
    int fd() const noexcept { return fd_; }
    const std::string& path() const noexcept { return path_; }

    // Reads up to count bytes from the file's offset. Fewer than count is no sign of the end of the
    // file: 0 is, and only 0.
    std::size_t read(void* buffer, std::size_t count);
    // Reads up to count bytes from offset, leaving the file's offset where it is; 0 only at the end.
    std::size_t read_at(void* buffer, std::size_t count, off_t offset);
    // Writes all count bytes or throws.
    void write_all(const void* buffer, std::size_t count);
    // Writes source from offset `from` to its end into this file at its offset: in the kernel where the
    // file systems can, else through a buffer. Leaves source's own offset alone.
    void copy_from(file& source, off_t from = 0);
    // Flushes the file's data and metadata to the device.
    void sync();
    struct stat status() const;
    // Closes and reports a failure of the close itself (a deferred write error, for instance).
    void close();

  private:
    int fd_ = -1;
    std::string path_;
};

// Opens an existing regular file with the given access flags (O_RDONLY, O_RDWR, ... plus O_NOFOLLOW
// where wanted). The open never waits: a path that has become a pipe or a device is opened without
// blocking and then refused with run-time error 75, as is a directory.
file open_regular(const std::string& path, int flags);
// open_regular for reading.
file open_read(const std::string& path);
// Throws run-time error 75 unless f is open on a regular file; returns its status.
struct stat require_regular(const file& f);
// Opens path for reading when it names a regular file, following symbolic links; nothing when it names
// none (no entry, a directory, a device, a pipe). One open and one fstat: the type is checked on the open
// file, so nothing can swap it in between. A regular file that cannot be opened throws.
std::optional<file> open_if_regular(const std::string& path);
// The rest of f, from its offset, in as few reads as its size allows: room for `size` bytes and one more
// (the size fstat gave when f was opened), so that a file read whole in one read is known to end there
// when that read returns exactly the bytes that were left. A read that returns fewer than were left, or
// a file that grew, is read on until a read returns nothing.
std::string read_rest(file& f, std::size_t size);
// An empty file of no name, in memory: what a file that is not there yet reads as.
file empty_file(const std::string& path);
// Makes directory and each missing directory on the way to it, with mode (less the umask). Each
// directory made, and the directory holding it, is flushed, so that a file written there outlasts a crash.
void make_directories(const std::string& directory, mode_t mode);

// Creates a new file, open for reading and writing, never through a symbolic link, with the given
// permission bits (before umask).
// Nothing (no file) when something already exists at the path.
std::optional<file> create_exclusive(const std::string& path, mode_t mode);

// True when the path names a regular file, following symbolic links. Never throws.
bool is_regular_file(const std::string& path) noexcept;
// True when the path names a directory, following symbolic links. Never throws.
bool is_directory(const std::string& path) noexcept;
// True when something is at the path (the link itself, where it is one). Never throws.
bool exists(const std::string& path) noexcept;
// Writes all of bytes to the descriptor fd (standard output, say); false, with errno set, when it cannot.
bool write_all_to(int fd, std::string_view bytes) noexcept;
// A file of no name for data on its way, in the directory TMPDIR names (else /tmp); nothing where none
// can be made.
std::optional<file> temporary_file();
// lstat: the status of the path itself, nothing when there is no entry. Other failures throw.
std::optional<struct stat> link_status(const std::string& path);
// stat, following symbolic links. Throws on failure.
struct stat status(const std::string& path);
// The absolute path that path leads to, every symbolic link resolved. Throws on failure.
std::string resolve(const std::string& path);
// The directory part of a path: "." for a bare name.
std::string directory_of(const std::string& path);

void remove(const std::string& path);
// Renames from over to, atomically replacing what is at to.
void rename_over(const std::string& from, const std::string& to);
// Flushes the directory that holds path, so that a rename in it is durable. Best effort: a directory
// that cannot be opened or flushed is left as it is.
void sync_directory_of(const std::string& path) noexcept;

// The path the system gives for the file mapped at address ("/usr/lib/libx.so.1.0.0", or with
// " (deleted)" after it once the file is gone); empty when it cannot tell. For code loaded from a
// descriptor, which the loader knows by "/proc/self/fd/N" alone.
std::string file_mapped_at(const void* address);

}  // namespace platform
