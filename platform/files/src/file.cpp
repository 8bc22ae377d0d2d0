#include "tarnwick/files/file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

sys::table& os() {
    return sys::calls();
}

std::string system_text(int errno_value) {
    char buffer[256];
    return ::strerror_r(errno_value, buffer, sizeof buffer);
}

}  // namespace

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int error_number(int errno_value, const std::string& path) {
    switch (errno_value) {
        case ENOENT:
            return is_directory(directory_of(path)) ? err::file_not_found : err::path_not_found;
        case ENOTDIR:
            return err::path_not_found;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EBUSY:
        case EWOULDBLOCK:
            return err::permission_denied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return err::disk_full;
        case EIO:
            return err::device_io;
        case EMFILE:
        case ENFILE:
            return err::too_many_files;
        case ENAMETOOLONG:
        case ELOOP:
            return err::bad_file_name;
        case EEXIST:
            return err::file_exists;
        case ENOMEM:
            return err::out_of_memory;
        default:
            return err::path_file_access;
    }
}

void throw_errno(int errno_value, std::string_view operation, const std::string& path) {
    std::string detail = "cannot ";
    detail += operation;
    detail += " '";
    detail += path;
    detail += "' (";
    detail += system_text(errno_value);
    detail += ')';
    throw runtime_error(error_number(errno_value, path), detail);
}

file::file(file&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

file& file::operator=(file&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) os().close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

file::~file() {
    if (fd_ >= 0) os().close(fd_);
}

std::size_t file::read(void* buffer, std::size_t count) {
    for (;;) {
        const ssize_t n = os().read(fd_, buffer, count);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw_errno(errno, "read", path_);
    }
}

std::string read_rest(file& f, std::size_t size) {
    std::string bytes(size + 1, '\0');
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) bytes.resize(bytes.size() + bytes.size() / 2 + 4096);
        const std::size_t wanted = bytes.size() - have;
        const std::size_t n = f.read(bytes.data() + have, wanted);
        have += n;
        if (n == 0 || (n < wanted && have == size)) break;
    }
    bytes.resize(have);
    return bytes;
}

std::size_t file::read_at(void* buffer, std::size_t count, off_t offset) {
    for (;;) {
        const ssize_t n = os().pread(fd_, buffer, count, offset);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw_errno(errno, "read", path_);
    }
}

void file::write_all(const void* buffer, std::size_t count) {
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t n = os().write(fd_, p, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw_errno(errno, "write", path_);
        }
        if (n == 0) throw_errno(EIO, "write", path_);
        p += n;
        count -= static_cast<std::size_t>(n);
    }
}

void file::copy_from(file& source, off_t from) {
    constexpr std::size_t chunk = std::size_t{1} << 30;
    for (;;) {
        const ssize_t n = os().copy_file_range(source.fd_, &from, fd_, chunk);
        if (n > 0) continue;
        if (n == 0) return;
        if (errno == EINTR) continue;
        // No copy in the kernel between these two (other file systems, an old kernel, a file system
        // that cannot): copy through a buffer from where the kernel stopped.
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
        throw_errno(errno, "copy '" + source.path_ + "' to", path_);
    }
    constexpr std::size_t size = buffer_size(64 * 1024);
    const auto buffer = std::make_unique<char[]>(size);
    while (const std::size_t n = source.read_at(buffer.get(), size, from)) {
        write_all(buffer.get(), n);
        from += static_cast<off_t>(n);
    }
}

void file::sync() {
    if (os().fsync(fd_) != 0) throw_errno(errno, "flush", path_);
}

struct stat file::status() const {
    struct stat st;
    if (os().fstat(fd_, &st) != 0) throw_errno(errno, "examine", path_);
    return st;
}

void file::close() {
    const int fd = std::exchange(fd_, -1);
    // Linux releases the descriptor even when close fails, so it is never retried.
    if (fd >= 0 && os().close(fd) != 0 && errno != EINTR) throw_errno(errno, "close", path_);
}

struct stat require_regular(const file& f) {
    const struct stat st = f.status();
    if (!S_ISREG(st.st_mode)) {
        throw runtime_error(err::path_file_access, "'" + f.path() + "' is not a regular file");
    }
    return st;
}

file open_regular(const std::string& path, int flags) {
    if (path.empty()) throw runtime_error(err::bad_file_name, "the empty path names no file");
    if (path.find('\0') != std::string::npos)
        throw runtime_error(err::bad_file_name, "a path cannot hold a NUL");
    // O_NONBLOCK keeps a pipe from waiting for a writer (regular files ignore it); O_NOCTTY keeps a
    // terminal from becoming ours.
    const int fd = os().open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) throw_errno(errno, (flags & O_ACCMODE) == O_RDONLY ? "open" : "open for writing", path);
    file f(fd, path);
    require_regular(f);
    return f;
}

file open_read(const std::string& path) {
    return open_regular(path, O_RDONLY);
}

std::optional<file> open_if_regular(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const int fd = os().open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        const int e = errno;
        if (is_regular_file(path)) throw_errno(e, "open", path);  // there, but not for us
        return std::nullopt;
    }
    file f(fd, path);
    if (!S_ISREG(f.status().st_mode)) return std::nullopt;
    return f;
}

std::optional<file> create_exclusive(const std::string& path, mode_t mode) {
    const int fd = os().open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EEXIST) return std::nullopt;
        throw_errno(errno, "create", path);
    }
    return file(fd, path);
}

bool is_regular_file(const std::string& path) noexcept {
    if (path.empty()) return false;
    struct stat st;
    return os().stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<struct stat> link_status(const std::string& path) {
    struct stat st;
    if (os().lstat(path.c_str(), &st) == 0) return st;
    if (errno == ENOENT) return std::nullopt;
    throw_errno(errno, "examine", path);
}

struct stat status(const std::string& path) {
    struct stat st;
    if (os().stat(path.c_str(), &st) != 0) throw_errno(errno, "examine", path);
    return st;
}

std::string resolve(const std::string& path) {
    char resolved[PATH_MAX];
    if (os().realpath(path.c_str(), resolved) == nullptr) throw_errno(errno, "resolve", path);
    return resolved;
}

void remove(const std::string& path) {
    if (os().unlink(path.c_str()) != 0) throw_errno(errno, "delete", path);
}

void rename_over(const std::string& from, const std::string& to) {
    if (os().rename(from.c_str(), to.c_str()) != 0) {
        const int e = errno;
        throw_errno(e, "rename '" + from + "' to", to);
    }
}

void sync_directory_of(const std::string& path) noexcept {
    const std::string dir = directory_of(path);
    const int fd = os().open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    os().fsync(fd);
    os().close(fd);
}

// The path the system gives for the file mapped at address ("/usr/lib/libx.so.1.0.0", or with
// " (deleted)" after it once the file is gone); empty when it cannot tell.
std::string file_mapped_at(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    // "start-end perms offset major:minor inode   path"
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t start = 0, end = 0;
        int path_at = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %*s %*s %*s %*s %n", &start, &end,
                        &path_at) < 2 ||
            at < start || at >= end) {
            continue;
        }
        const auto path = static_cast<std::size_t>(path_at);
        return path > 0 && line[path] == '/' ? line.substr(path) : "";
    }
    return {};
}

bool is_directory(const std::string& path) noexcept {
    struct stat st;
    return os().stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) noexcept {
    struct stat st;
    return os().lstat(path.c_str(), &st) == 0;
}

bool write_all_to(int fd, std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t n = os().write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<file> temporary_file() {
    const char* dir = std::getenv("TMPDIR");
    const std::string where = dir && *dir ? dir : "/tmp";
    const int fd = os().open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return std::nullopt;
    return file(fd, where + "/(temporary)");
}

file empty_file(const std::string& path) {
    const int fd = os().memfd_create("empty", MFD_CLOEXEC);
    if (fd < 0) throw_errno(errno, "make an empty stand-in for", path);
    return file(fd, path);
}

namespace {

// Flushes the directory at path to the device, with the entries made in it.
void flush_directory(const std::string& path) {
    const int fd = os().open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) throw_errno(errno, "open the directory", path);
    file directory(fd, path);
    directory.sync();
}

}  // namespace

void make_directories(const std::string& directory, mode_t mode) {
    const std::string path = directory + "/";
    std::vector<std::string> made;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (prefix.empty() || prefix.back() == '/') continue;
        if (os().mkdir(prefix.c_str(), mode) == 0) {
            made.push_back(prefix);
        } else if (errno != EEXIST) {
            throw_errno(errno, "create the directory", prefix);
        }
    }
    for (std::size_t i = 0; i < made.size(); ++i) {
        const std::string holder = directory_of(made[i]);
        if (i == 0 || holder != made[i - 1]) flush_directory(holder);
        flush_directory(made[i]);
    }
}

}  // namespace platform
