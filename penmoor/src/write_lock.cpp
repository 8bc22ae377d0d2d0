#include "write_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace penmoor {

std::chrono::milliseconds lock_wait_limit{10'000};

namespace {

using clock = std::chrono::steady_clock;
using file_id = std::pair<dev_t, ino_t>;

// Files the calling thread holds locked. flock would make such a thread wait for itself.
std::vector<file_id>& held_here() {
    thread_local std::vector<file_id> held;
    return held;
}

file_id id_of(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

[[noreturn]] void kept_busy(const std::string& path) {
    throw platform::runtime_error(platform::err::permission_denied,
                                  "cannot lock '" + path + "' (another writer keeps it locked)");
}

// Takes the lock, waiting with growing pauses up to the deadline.
void lock_exclusively(platform::file& f, clock::time_point deadline) {
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        if (platform::sys::calls().flock(f.fd(), LOCK_EX | LOCK_NB) == 0) return;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) platform::throw_errno(errno, "lock", f.path());
        if (clock::now() >= deadline) kept_busy(f.path());
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20'000));
    }
}

// The file the path leads to, resolved once; and whether the path is a symbolic link.
std::pair<std::string, bool> resolve_once(const std::string& path) {
    const auto entry = platform::link_status(path);
    if (!entry || !S_ISLNK(entry->st_mode)) return {path, false};
    return {platform::resolve(path), true};
}

}  // namespace

write_lock::write_lock(const std::string& path) {
    const auto deadline = clock::now() + lock_wait_limit;
    for (;;) {
        auto [target, linked] = resolve_once(path);
        // O_NOFOLLOW: the resolved file is no link; if it has become one since, start over.
        const int fd = platform::sys::calls().open(
            target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
        if (fd < 0) {
            if (errno == ELOOP && clock::now() < deadline) continue;
            platform::throw_errno(errno, "open for writing", target);
        }
        platform::file f(fd, target);
        const struct stat opened = platform::require_regular(f);
        if (std::ranges::find(held_here(), id_of(opened)) != held_here().end()) {
            throw platform::runtime_error(platform::err::file_already_open,
                                          "'" + path + "' is being changed by this thread already");
        }
        lock_exclusively(f, deadline);
        // Still the file the path leads to?
        const auto now = platform::link_status(target);
        const bool same = now && !S_ISLNK(now->st_mode) && id_of(*now) == id_of(opened) &&
                          (!linked || platform::resolve(path) == target);
        if (!same) {
            if (clock::now() >= deadline) kept_busy(path);
            continue;
        }
        file_ = std::move(f);
        target_ = std::move(target);
        status_ = file_.status();  // as it is now that nobody else may change it
        held_here().push_back(id_of(opened));
        return;
    }
}

write_lock::~write_lock() {
    auto& held = held_here();
    if (const auto found = std::ranges::find(held, id_of(status_)); found != held.end()) held.erase(found);
    // Closing the descriptor releases the lock.
}

}  // namespace penmoor
