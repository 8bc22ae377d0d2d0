#include "tarnwick/files/lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
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

// The name of a running process, as /proc tells: nothing when there is no such process (any more).
// Bytes that a terminal would act on are shown as '?': a process names itself.
std::optional<std::string> running_process_name(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    if (!comm) return std::nullopt;
    std::string name;
    std::getline(comm, name);
    std::ranges::replace_if(
        name, [](unsigned char c) { return c < 0x20 || c == 0x7f; }, '?');
    return name;
}

// Who keeps our exclusive flock of the file waiting, as /proc/locks tells: " (process 1234, twini)".
// Only a flock blocks one (POSIX and open-file-description locks are another kind, and a line after
// "->" is a waiter), and whoever holds one, shared or exclusive, blocks. The pid of a lock is the
// process that took it, which may have ended while another it shared the descriptor with keeps the
// lock, and a pid in another pid namespace shows as 0 or -1: such a holder cannot be named.
std::string holder_of(const struct stat& st) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF", the device major:minor in hex.
        std::istringstream fields(line);
        std::string number, type, mode, access, id;
        long pid = 0;
        fields >> number >> type;
        if (type != "FLOCK") continue;
        fields >> mode >> access >> pid >> id;
        unsigned major_number = 0, minor_number = 0;
        unsigned long inode = 0;
        char end = 0;
        if (!fields ||
            std::sscanf(id.c_str(), "%x:%x:%lu%c", &major_number, &minor_number, &inode, &end) != 3 ||
            makedev(major_number, minor_number) != st.st_dev || inode != st.st_ino || pid <= 0) {
            continue;
        }
        if (const auto name = running_process_name(pid)) {
            return " (process " + std::to_string(pid) + (name->empty() ? "" : ", " + *name) + ")";
        }
    }
    return " (process unknown)";
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
