#include "fault.hpp"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "tarnwick/files/sys.hpp"

namespace test {
namespace {

struct plan {
    std::array<int, call_kinds> counts{};
    call target = call::any;
    int nth = 0;  // 0: nothing planned
    int start = 0;
    int errno_value = 0;
    bool every_later = false;
    bool fired = false;
    call failed = call::any;
    call hook_target = call::any;
    int hook_at = 0;  // 0: no action planned
    std::function<void()> hook;
    std::size_t most = 0;  // 0: transfers are not cut short
    bool interrupt = false;
    bool interrupted = false;  // the next transfer goes through: the one before was interrupted
    bool recording = false;
    std::vector<std::string> log;
    std::map<int, std::string> paths;  // of the descriptors opened while recording
} state;

constexpr const char* names[] = {"open",  "close",  "read",     "write", "fsync",  "stat",
                                 "fstat", "unlink", "rename",   "flock", "fchmod", "fchown",
                                 "lstat", "mkdir",  "realpath", "copy",  "openat", "readlink"};
static_assert(std::size(names) == call_kinds - 1);

// Records a call of that kind naming what, when recording.
void note(call kind, const std::string& what) {
    if (state.recording) state.log.push_back(std::string(names[static_cast<int>(kind)]) + ' ' + what);
}

std::string path_of(int fd) {
    const auto found = state.paths.find(fd);
    return found != state.paths.end() ? found->second : "fd " + std::to_string(fd);
}

void note(call kind, int fd) {
    if (state.recording) note(kind, path_of(fd));
}

// fd, opened by path: remembered, so that later calls on it are recorded with the path.
int opened(int fd, const std::string& path) {
    if (fd >= 0 && state.recording) state.paths[fd] = path;
    return fd;
}

std::string in_directory(int dir, const char* name) {
    if (!state.recording) return {};
    if (*name == '/') return name;
    std::string path = dir == AT_FDCWD ? "." : path_of(dir);
    if (*name == '\0') return path;
    if (path != "/") path += '/';
    return path + name;
}

bool should_fail(call kind) {
    ++state.counts[static_cast<int>(kind)];
    ++state.counts[static_cast<int>(call::any)];
    if (state.hook_at != 0 && (state.hook_target == call::any || state.hook_target == kind) &&
        state.counts[static_cast<int>(state.hook_target)] == state.hook_at) {
        state.hook_at = 0;
        auto action = std::move(state.hook);
        const platform::sys::table saved = platform::sys::calls();
        platform::sys::calls() = platform::sys::real();  // the action's own calls are not counted
        action();
        platform::sys::calls() = saved;
    }
    if (state.nth == 0) return false;
    const bool counted = state.target == call::any || state.target == kind;
    if (!counted) return false;
    const int seen = state.counts[static_cast<int>(state.target)] - state.start;
    if (seen == state.nth || (state.every_later && seen > state.nth)) {
        state.fired = true;
        state.failed = kind;
        errno = state.errno_value;
        return true;
    }
    return false;
}

// A transfer of count bytes: whether to interrupt it, and how many bytes to let through.
bool interrupted_now() {
    if (!state.interrupt) return false;
    state.interrupted = !state.interrupted;
    if (!state.interrupted) return false;
    errno = EINTR;
    return true;
}

std::size_t allowed(std::size_t count) {
    if (state.most == 0 || count <= 1) return count;
    return std::min(state.most, count - 1);
}

const platform::sys::table& real() {
    return platform::sys::real();
}

constexpr platform::sys::table counting = {
    [](const char* p, int f, mode_t m) {
        note(call::open, p);
        return should_fail(call::open) ? -1 : opened(real().open(p, f, m), p);
    },
    [](int fd) {
        note(call::close, fd);
        state.paths.erase(fd);
        // A failed close still releases the descriptor, as on Linux.
        const bool fail = should_fail(call::close);
        const int saved = errno;
        const int r = real().close(fd);
        if (fail) {
            errno = saved;
            return -1;
        }
        return r;
    },
    [](int fd, void* b, std::size_t n) -> ssize_t {
        note(call::read, fd);
        if (should_fail(call::read) || interrupted_now()) return -1;
        return real().read(fd, b, allowed(n));
    },
    [](int fd, const void* b, std::size_t n) -> ssize_t {
        note(call::write, fd);
        if (should_fail(call::write) || interrupted_now()) return -1;
        return real().write(fd, b, allowed(n));
    },
    [](int fd) {
        note(call::fsync, fd);
        return should_fail(call::fsync) ? -1 : real().fsync(fd);
    },
    [](const char* p, struct stat* s) {
        note(call::stat, p);
        return should_fail(call::stat) ? -1 : real().stat(p, s);
    },
    [](int fd, struct stat* s) {
        note(call::fstat, fd);
        return should_fail(call::fstat) ? -1 : real().fstat(fd, s);
    },
    [](const char* p) {
        note(call::unlink, p);
        return should_fail(call::unlink) ? -1 : real().unlink(p);
    },
    [](const char* a, const char* b) {
        note(call::rename, std::string(a) + ' ' + b);
        return should_fail(call::rename) ? -1 : real().rename(a, b);
    },
    [](int fd, int op) {
        note(call::flock, fd);
        return should_fail(call::flock) ? -1 : real().flock(fd, op);
    },
    [](int fd, mode_t m) {
        note(call::fchmod, fd);
        return should_fail(call::fchmod) ? -1 : real().fchmod(fd, m);
    },
    [](int fd, uid_t u, gid_t g) {
        note(call::fchown, fd);
        return should_fail(call::fchown) ? -1 : real().fchown(fd, u, g);
    },
    [](const char* p, struct stat* s) {
        note(call::lstat, p);
        return should_fail(call::lstat) ? -1 : real().lstat(p, s);
    },
    [](int fd, void* b, std::size_t n, off_t at) -> ssize_t {
        note(call::read, fd);
        if (should_fail(call::read) || interrupted_now()) return -1;
        return real().pread(fd, b, allowed(n), at);
    },
    [](const char* p, mode_t m) {
        note(call::mkdir, p);
        return should_fail(call::mkdir) ? -1 : real().mkdir(p, m);
    },
    [](const char* p, char* r) -> char* {
        note(call::realpath, p);
        return should_fail(call::realpath) ? nullptr : real().realpath(p, r);
    },
    [](int from, off_t* at, int to, std::size_t n) -> ssize_t {
        note(call::copy, path_of(from) + ' ' + path_of(to));
        if (should_fail(call::copy) || interrupted_now()) return -1;
        return real().copy_file_range(from, at, to, allowed(n));
    },
    [](int dir, const char* p, int f, mode_t m) {
        const std::string path = in_directory(dir, p);
        note(call::openat, path);
        return should_fail(call::openat) ? -1 : opened(real().openat(dir, p, f, m), path);
    },
    [](int dir, const char* p, char* b, std::size_t n) -> ssize_t {
        note(call::readlink, in_directory(dir, p));
        return should_fail(call::readlink) ? -1 : real().readlinkat(dir, p, b, n);
    },
};

}  // namespace

fault_injector::fault_injector() {
    state = plan{};
    platform::sys::calls() = counting;
}

fault_injector::~fault_injector() {
    platform::sys::calls() = platform::sys::real();
}

void fault_injector::fail(call which, int nth, int errno_value, bool every_later) {
    state.target = which;
    state.nth = nth;
    state.start = state.counts[static_cast<int>(which)];
    state.errno_value = errno_value;
    state.every_later = every_later;
    state.fired = false;
    state.failed = call::any;
}

void fault_injector::before(call which, int nth, std::function<void()> action) {
    state.hook_target = which;
    state.hook_at = state.counts[static_cast<int>(which)] + nth;
    state.hook = std::move(action);
}

void fault_injector::short_counts(std::size_t most) {
    state.most = most;
}

void fault_injector::interrupt_every_transfer() {
    state.interrupt = true;
}

void fault_injector::record() {
    state.recording = true;
}

const std::vector<std::string>& fault_injector::recorded() const {
    return state.log;
}

int fault_injector::count(call which) const {
    return state.counts[static_cast<int>(which)];
}

bool fault_injector::fired() const {
    return state.fired;
}

call fault_injector::failed_call() const {
    return state.failed;
}

}  // namespace test
