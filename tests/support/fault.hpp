// Fault injection through the file-system seam: make a chosen system call fail with a chosen errno,
// come back short, or be interrupted, let something happen just before it, or record every call, while
// every call goes to the system otherwise. Installed for the lifetime of the object.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace test {

// The kinds of call, as the seam's list groups them: open counts open and openat, read counts read and
// pread, copy counts copy_file_range, lstat counts lstat and fstatat, unlink and rename their *at forms,
// xattr the calls that list and read extended attributes, setxattr those that set and remove them.
enum class call {
    open,
    close,
    read,
    write,
    fsync,
    stat,
    fstat,
    unlink,
    rename,
    flock,
    fchmod,
    fchown,
    lstat,
    mkdir,
    realpath,
    copy,
    xattr,
    setxattr,
    link,
    readlink,
    any
};
inline constexpr int call_kinds = static_cast<int>(call::any) + 1;

class fault_injector {
  public:
    fault_injector();   // counts calls, fails none
    ~fault_injector();  // restores the real calls
    fault_injector(const fault_injector&) = delete;
    fault_injector& operator=(const fault_injector&) = delete;

    // The nth call of that kind from now on (1 = the next one) fails with errno_value; with every_later,
    // so does every call of that kind after it. call::any counts calls of every kind together.
    void fail(call which, int nth, int errno_value, bool every_later = false);
    // Runs action just before the nth call of that kind from now on (to change the ground under a call,
    // as another process would). The action's own calls go to the system uncounted.
    void before(call which, int nth, std::function<void()> action);
    // From now on every read, write and copy of more than one byte moves fewer bytes than asked for: at
    // most `most`, and always at least one fewer than asked.
    void short_counts(std::size_t most);
    // From now on every read, write and copy is interrupted (EINTR) once before it is made.
    void interrupt_every_transfer();
    // Calls of a kind made since installation (call::any: all of them).
    int count(call which) const;
    // Whether the planned failure has happened, and the kind of call that failed (call::any before).
    bool fired() const;
    call failed_call() const;

    // From now on every call is written down, in order, as its name and its paths: a path argument as
    // given, a descriptor as the path it is open on, "dir/name" for a name in a directory descriptor,
    // e.g. "fsync /tmp/x/app.ini.twtemp", "renameat /tmp/x/app.ini.twtemp /tmp/x/app.ini".
    void record();
    const std::vector<std::string>& recorded() const;
};

}  // namespace test
