#include "tarnwick/files/place.hpp"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

sys::table& os() {
    return sys::calls();
}

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

}  // namespace

place place::of(const std::string& path, bool follow_last) {
    if (path.empty()) throw runtime_error(err::bad_file_name, "the empty path names no file");
    if (path.find('\0') != std::string::npos) {
        throw runtime_error(err::bad_file_name, "a path cannot hold a NUL");
    }
    place p;
    char resolved[PATH_MAX];
    std::string full;
    if (follow_last && os().realpath(path.c_str(), resolved) != nullptr) {
        full = resolved;
    } else {
        const int e = follow_last ? errno : ENOENT;
        if (e != ENOENT) throw_errno(e, "resolve", path);
        const auto entry = link_status(path);
        if (follow_last && entry && S_ISLNK(entry->st_mode)) {
            throw runtime_error(err::file_not_found,
                                "'" + path + "' is a symbolic link that leads to no file");
        }
        const std::string name = base_name(path);
        if (os().realpath(directory_of(path).c_str(), resolved) == nullptr) {
            throw_errno(errno, "find the directory of", path);
        }
        full = joined(resolved, name);
    }
    if (const auto entry = link_status(path)) p.through_link_ = follow_last && S_ISLNK(entry->st_mode);
    p.name_ = base_name(full);
    if (p.name_.empty() || p.name_ == "." || p.name_ == "..") {
        throw runtime_error(err::bad_file_name, "'" + path + "' names no file");
    }
    // Messages name the file as it was given, or as the link given leads to it.
    p.path_ = p.through_link_ ? full : path;
    const std::string directory = directory_of(full);
    // Only a place to look names up in: a directory we may search but not read is still one.
    const int fd = os().open(directory.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0) throw_errno(errno, "open the directory", directory);
    p.directory_ = file(fd, directory);
    return p;
}

std::optional<struct stat> place::entry() const {
    struct stat st;
    if (os().fstatat(directory(), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return st;
    if (errno == ENOENT) return std::nullopt;
    throw_errno(errno, "examine", path_);
}

file place::open(int flags) const {
    // O_NONBLOCK keeps a pipe from waiting for a writer (regular files ignore it); O_NOCTTY keeps a
    // terminal from becoming ours.
    const int fd =
        os().openat(directory(), name_.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == ELOOP) {
            throw runtime_error(err::path_file_access, "'" + path_ + "' has become a symbolic link");
        }
        throw_errno(errno, (flags & O_ACCMODE) == O_RDONLY ? "open" : "open for writing", path_);
    }
    file f(fd, path_);
    require_regular(f);
    return f;
}

std::optional<file> place::create(const std::string& name, mode_t mode) const {
    const std::string path = sibling(name);
    const int fd =
        os().openat(directory(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EEXIST) return std::nullopt;
        throw_errno(errno, "create", path);
    }
    return file(fd, path);
}

file place::scratch() const {
    int fd = os().openat(directory(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) return file(fd, sibling(name_ + ".twscratch"));
    // A file system without unnamed files: a named one, whose name goes at once.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            name_ + ".twscratch." + std::to_string(::getpid()) + "." + std::to_string(attempt);
        if (auto made = create(name, S_IRUSR | S_IWUSR)) {
            remove(name);
            return std::move(*made);
        }
    }
    throw_errno(EEXIST, "create", path_ + ".twscratch");
}

bool place::remove(const std::string& name) const noexcept {
    return os().unlinkat(directory(), name.c_str(), 0) == 0;
}

std::string place::sibling(const std::string& name) const {
    const auto slash = path_.find_last_of('/');
    return slash == std::string::npos ? name : path_.substr(0, slash + 1) + name;
}

void place::sync() const noexcept {
    const int fd = os().openat(directory(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    os().fsync(fd);
    os().close(fd);
}

}  // namespace platform
