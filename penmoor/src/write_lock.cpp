#include "write_lock.hpp"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

#include "platform/runtime_error.hpp"
#include "platform/sys.hpp"

namespace penmoor {

std::chrono::milliseconds lock_wait_limit{10'000};

namespace {

using file_id = std::pair<dev_t, ino_t>;

// Files the calling thread holds locked. flock would make such a thread wait for itself.
std::vector<file_id>& held_here() {
    thread_local std::vector<file_id> held;
    return held;
}

file_id id_of(const struct stat& st) { return {st.st_dev, st.st_ino}; }

platform::file open_for(const std::string& path, write_lock::mode how) {
    return how == write_lock::mode::read ? platform::open_read(path) : platform::open_append(path);
}

// Takes the lock, waiting with growing pauses up to the limit.
void lock_exclusively(platform::file& f) {
    const auto deadline = std::chrono::steady_clock::now() + lock_wait_limit;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        if (platform::sys::calls().flock(f.fd(), LOCK_EX | LOCK_NB) == 0) return;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) platform::throw_errno(errno, "lock", f.path());
        if (std::chrono::steady_clock::now() >= deadline) {
            throw platform::runtime_error(platform::err::permission_denied,
                                          "cannot lock '" + f.path() + "' (another writer keeps it locked)");
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20'000));
    }
}

}  // namespace

write_lock::write_lock(const std::string& path, mode how) {
    for (;;) {
        platform::file f = open_for(path, how);
        const struct stat opened = f.status();
        if (std::ranges::find(held_here(), id_of(opened)) != held_here().end()) {
            throw platform::runtime_error(platform::err::file_already_open,
                                          "'" + path + "' is being changed by this thread already");
        }
        lock_exclusively(f);
        // The file at the path now may not be the one we opened: a writer we waited for replaced it.
        struct stat now;
        if (platform::sys::calls().stat(path.c_str(), &now) == 0 && id_of(now) == id_of(opened)) {
            file_ = std::move(f);
            status_ = file_.status();  // as it is now that nobody else may change it
            held_here().push_back(id_of(opened));
            return;
        }
    }
}

write_lock::~write_lock() {
    auto& held = held_here();
    if (const auto found = std::ranges::find(held, id_of(status_)); found != held.end()) held.erase(found);
    // Closing the descriptor releases the lock.
}

}  // namespace penmoor
