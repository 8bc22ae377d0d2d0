#include "tarnwick/files/lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {

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

// Who holds a lock of the file, as /proc/locks tells: " (process 1234, twini)", or nothing.
std::string holder_of(const struct stat& st) {
    std::ifstream locks("/proc/locks");
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, mode, access, pid, id;
        fields >> number >> type;
        if (type == "->") fields >> type;  // a waiter
        fields >> mode >> access >> pid >> id;
        if (number.empty() || line.find("->") != std::string::npos || id != wanted || pid.empty() ||
            pid == "-1" || pid == "0") {
            continue;
        }
        std::ifstream comm("/proc/" + pid + "/comm");
        std::string name;
        std::getline(comm, name);
        return " (process " + pid + (name.empty() ? "" : ", " + name) + ")";
    }
    return {};
}

[[noreturn]] void kept_busy(const std::string& path, const struct stat* locked) {
    throw runtime_error(err::permission_denied, "cannot lock '" + path +
                                                    "': another process keeps it locked" +
                                                    (locked ? holder_of(*locked) : std::string()));
}

// Takes the lock, waiting with growing pauses up to the deadline.
void lock_exclusively(file& f, clock::time_point deadline) {
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        if (sys::calls().flock(f.fd(), LOCK_EX | LOCK_NB) == 0) return;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) throw_errno(errno, "lock", f.path());
        if (clock::now() >= deadline) {
            const struct stat st = f.status();
            kept_busy(f.path(), &st);
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20'000));
    }
}

file open_for_lock(const place& where, bool create) {
    if (!create) return where.open(O_RDWR);
    const int fd =
        sys::calls().openat(where.directory(), where.name().c_str(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP) {
            throw runtime_error(err::path_file_access,
                                "refusing the lock '" + where.path() +
                                    "': it is a symbolic link, and the lock is never taken through one");
        }
        throw_errno(errno, "open the lock", where.path());
    }
    file f(fd, where.path());
    require_regular(f);
    return f;
}

}  // namespace

locked_file::locked_file(const std::string& path, bool create) : where_(place::of(path, !create)) {
    const auto deadline = clock::now() + lock_wait_limit;
    for (bool first = true;; first = false) {
        if (!first) where_ = place::of(path, !create);
        platform::file f;
        try {
            f = open_for_lock(where_, create);
        } catch (const runtime_error&) {
            // The name became a link since it was resolved: look again.
            const auto entry = where_.entry();
            if (clock::now() < deadline && entry && S_ISLNK(entry->st_mode)) continue;
            throw;
        }
        const struct stat opened = f.status();
        if (std::ranges::find(held_here(), id_of(opened)) != held_here().end()) {
            throw runtime_error(err::file_already_open,
                                "'" + path + "' is being changed by this thread already");
        }
        lock_exclusively(f, deadline);
        // Still the file the name leads to, and the place the path leads to?
        const auto now = where_.entry();
        bool same = now && !S_ISLNK(now->st_mode) && id_of(*now) == id_of(opened);
        if (same && where_.through_link()) same = place::of(path).path() == where_.path();
        if (!same) {
            if (clock::now() >= deadline) kept_busy(path, nullptr);
            continue;
        }
        file_ = std::move(f);
        status_ = file_.status();  // as it is now that nobody else may change it
        held_here().push_back(id_of(opened));
        return;
    }
}

locked_file::~locked_file() {
    auto& held = held_here();
    if (const auto found = std::ranges::find(held, id_of(status_)); found != held.end()) held.erase(found);
    // Closing the descriptor releases the lock.
}

}  // namespace platform
