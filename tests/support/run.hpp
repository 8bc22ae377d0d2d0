// Running a piece of a test: the run-time error it ends with, or on a thread of its own.
#pragma once

#include <exception>
#include <thread>

#include "platform/runtime_error.hpp"

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

}  // namespace test
