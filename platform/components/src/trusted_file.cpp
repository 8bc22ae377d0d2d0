#include "tarnwick/components/trusted_file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "tarnwick/files/sys.hpp"

namespace platform::component {
namespace {

sys::table& os() {
    return sys::calls();
}

// As many links as the system itself follows in one lookup.
constexpr int most_links = 40;

[[noreturn]] void fail(int errno_value) {
    char buffer[256];
    throw trust_error(::strerror_r(errno_value, buffer, sizeof buffer), false, errno_value);
}

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The names of path, in order; empty names and "." left out.
std::deque<std::string> names_of(const std::string& path) {
    std::deque<std::string> names;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start && path.compare(start, end - start, ".") != 0) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

struct walk {
    const std::string& consequence;
    const uid_t user = ::geteuid();

    [[noreturn]] void refuse(const std::string& why) const {
        throw trust_error(why + ", " + consequence, true);
    }

    // Refuses an entry that anyone but the user or root owns, or that its group or others may write
    // (a link's own mode means nothing; a directory with the sticky bit lets only an entry's owner
    // replace that entry, and every entry is checked in turn).
    void check(const struct stat& status, const std::string& path) const {
        const char* kind = S_ISDIR(status.st_mode)   ? "the directory '"
                           : S_ISLNK(status.st_mode) ? "the link '"
                                                     : "the file '";
        const std::string entry = kind + path + "'";
        if (status.st_uid != user && status.st_uid != 0) {
            refuse(entry + " belongs to user " + std::to_string(status.st_uid) + ", not to you (user " +
                   std::to_string(user) + ") nor to root");
        }
        if (S_ISLNK(status.st_mode)) return;
        const bool sticky_directory = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0;
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky_directory) {
            refuse(entry + " is writable by " + ((status.st_mode & S_IWOTH) != 0 ? "others" : "its group") +
                   " (mode " + octal(status.st_mode) + ")");
        }
    }
};

struct stat status_of(const file& f) {
    struct stat status;
    if (os().fstat(f.fd(), &status) != 0) fail(errno);
    return status;
}

std::string link_target(const file& link) {
    char target[PATH_MAX];
    const ssize_t n = os().readlinkat(link.fd(), "", target, sizeof target);
    if (n < 0) fail(errno);
    if (static_cast<std::size_t>(n) == sizeof target) fail(ENAMETOOLONG);
    if (n == 0) fail(ENOENT);
    return std::string(target, static_cast<std::size_t>(n));
}

// A directory the walk has opened and checked, and its path.
struct place {
    file directory;
    std::string path;
};

}  // namespace

trusted_file open_trusted(const std::string& path, const std::string& consequence) {
    if (path.empty()) fail(ENOENT);
    std::string absolute = path;
    if (path.front() != '/') {
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here) == nullptr) fail(errno);
        absolute = std::string(here) + "/" + path;
    }
    const walk rules{consequence};
    std::deque<std::string> rest = names_of(absolute);

    // The directories walked, from "/": ".." goes back to the one before, a link to "/..." to the first.
    std::vector<place> walked;
    file root(os().open("/", O_PATH | O_DIRECTORY | O_CLOEXEC, 0), "/");
    if (!root.is_open()) fail(errno);
    rules.check(status_of(root), "/");
    walked.push_back({std::move(root), "/"});

    int links = 0;
    while (!rest.empty()) {
        const std::string name = std::move(rest.front());
        rest.pop_front();
        if (name == "..") {
            if (walked.size() > 1) walked.pop_back();
            continue;
        }
        const place& here = walked.back();
        const std::string entry = (here.path == "/" ? "" : here.path) + "/" + name;
        const int dir = here.directory.fd();
        // The file itself is opened for reading, never waiting (a pipe there is refused below, not waited
        // on); whatever lies on the way is only looked at. Neither follows a link.
        const bool last = rest.empty();
        int fd = last ? os().openat(dir, name.c_str(),
                                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0)
                      : os().openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC, 0);
        if (fd < 0 && last && errno == ELOOP)
            fd = os().openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC, 0);
        if (fd < 0) fail(errno);
        file opened(fd, entry);
        const struct stat status = status_of(opened);
        rules.check(status, entry);

        if (S_ISLNK(status.st_mode)) {
            if (++links > most_links) fail(ELOOP);
            const std::string target = link_target(opened);
            const std::deque<std::string> more = names_of(target);
            rest.insert(rest.begin(), more.begin(), more.end());
            if (target.front() == '/') walked.resize(1);
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (last) break;
            walked.push_back({std::move(opened), entry});
            continue;
        }
        if (!last) fail(ENOTDIR);
        if (!S_ISREG(status.st_mode)) throw trust_error("'" + entry + "' is not a regular file", false);
        return {std::move(opened), entry, status};
    }
    fail(EISDIR);
}

}  // namespace platform::component
