#include "fault.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>
#include <type_traits>

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
    std::vector<std::string> record;
} state;

const platform::sys::table& real() {
    return platform::sys::real();
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
        const int saved_errno = errno;
        action();
        errno = saved_errno;
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

// A transfer: whether to interrupt it, and how many bytes to let through.
bool interrupted_now() {
    if (!state.interrupt) return false;
    state.interrupted = !state.interrupted;
    if (!state.interrupted) return false;
    errno = EINTR;
    return true;
}

std::size_t shorten(std::size_t count) {
    if (state.most == 0 || count <= 1) return count;
    return std::min(state.most, count - 1);
}
template <class T>
T shorten(T value) {
    return value;
}

constexpr bool is_transfer(call kind) {
    return kind == call::read || kind == call::write || kind == call::copy;
}

template <class R>
R failure() {
    if constexpr (std::is_pointer_v<R>) {
        return nullptr;
    } else {
        return R(-1);
    }
}

// The path a descriptor is open on.
std::string path_of(int fd) {
    if (fd == AT_FDCWD) return ".";
    char link[64], target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n < 0 ? "fd" + std::to_string(fd) : std::string(target, static_cast<std::size_t>(n));
}

// The names of the parameters, from their declaration "(int dir, const char* name, int flags)".
std::vector<std::string_view> names_in(std::string_view parameters) {
    std::vector<std::string_view> names;
    parameters = parameters.substr(1, parameters.size() - 2);
    while (!parameters.empty()) {
        const auto comma = parameters.find(',');
        std::string_view one = parameters.substr(0, comma);
        const auto start = one.find_last_of(" *") + 1;
        names.push_back(one.substr(start));
        parameters = comma == std::string_view::npos ? std::string_view() : parameters.substr(comma + 1);
    }
    return names;
}

bool names_descriptor(std::string_view name) {
    return name == "fd" || name == "dir" || name == "from_dir" || name == "to_dir" || name == "from" ||
           name == "to";
}

// "name path path": paths as given, descriptors as the paths they are open on, a name after a directory
// descriptor joined to it.
template <class... A>
void note(const char* call_name, const char* parameters, A... args) {
    if (!state.recording) return;
    const std::vector<std::string_view> names = names_in(parameters);
    std::string line = call_name;
    std::string directory;  // a directory descriptor waiting for its name
    std::size_t at = 0;
    auto add = [&](auto value) {
        [[maybe_unused]] const std::string_view name = names[at++];
        using T = decltype(value);
        if constexpr (std::is_same_v<T, const char*>) {
            std::string path = value;
            if (!directory.empty() && !path.starts_with('/')) path = directory + "/" + path;
            directory.clear();
            line += " " + path;
        } else if constexpr (std::is_same_v<T, int>) {
            if (!names_descriptor(name)) return;
            if (!directory.empty()) line += " " + directory;
            directory = path_of(value);
        }
    };
    (add(args), ...);
    if (!directory.empty()) line += " " + directory;
    state.record.push_back(std::move(line));
}

template <call K, class R, class... P, class... A>
R through(const char* name, const char* parameters, R (*real_call)(P...), A... args) {
    note(name, parameters, args...);
    if (should_fail(K)) {
        if constexpr (K == call::close) {
            // A failed close still releases the descriptor, as on Linux.
            const int saved = errno;
            real_call(args...);
            errno = saved;
        }
        return failure<R>();
    }
    if constexpr (is_transfer(K)) {
        if (interrupted_now()) return failure<R>();
        return real_call(shorten(args)...);
    }
    return real_call(args...);
}

#define TARNWICK_UNPARENTHESISED(...) __VA_ARGS__
constexpr platform::sys::table counting = {
#define TARNWICK_SYSTEM_CALL_COUNTED(name, kind, result, parameters, arguments, real_call)               \
    [] parameters -> result {                                                                            \
        return through<call::kind>(#name, #parameters, real().name, TARNWICK_UNPARENTHESISED arguments); \
    },
    TARNWICK_SYSTEM_CALLS(TARNWICK_SYSTEM_CALL_COUNTED)
#undef TARNWICK_SYSTEM_CALL_COUNTED
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

int fault_injector::count(call which) const {
    return state.counts[static_cast<int>(which)];
}

bool fault_injector::fired() const {
    return state.fired;
}

call fault_injector::failed_call() const {
    return state.failed;
}

void fault_injector::record() {
    state.recording = true;
    state.record.clear();
}

const std::vector<std::string>& fault_injector::recorded() const {
    return state.record;
}

}  // namespace test
