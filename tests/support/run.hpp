// Running a piece of a test: the run-time error it ends with, or on a thread of its own.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <thread>

#include "tarnwick/files/runtime_error.hpp"

namespace test {

// The run-time error number that f ends with, or 0.
template <class F>
int error_of(F&& f) {
    try {
        f();
    } catch (const platform::runtime_error& e) {
        return e.number();
    }
    return 0;
}

// Runs f on a thread of its own (which starts with no window, for instance) and rethrows what f throws.
template <class F>
void on_new_thread(F&& f) {
    std::exception_ptr failure;
    std::thread thread([&] {
        try {
            f();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    thread.join();
    if (failure) std::rethrow_exception(failure);
}

// Whether this process may act as other users (it runs as root).
inline bool can_act_as_others() {
    return ::geteuid() == 0;
}

// Runs f in a child process that has become user uid with group gid (and no other group), and returns
// what f returns (0 to 255), or -1 when the child did not end normally. f must not use the test
// framework's assertions: they would fail in the child, unseen.
template <class F>
int as_user(uid_t uid, gid_t gid, F&& f) {
    const pid_t child = ::fork();
    if (child == 0) {
        int status = 125;
        if (::setgroups(1, &gid) == 0 && ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0) {
            try {
                status = f();
            } catch (...) {
                status = 126;
            }
        }
        ::_exit(status);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace test
