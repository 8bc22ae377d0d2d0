// Helpers for window tests: a fresh thread per scenario, and the run-time error a call ends with.
#pragma once

#include <exception>
#include <thread>
#include <utility>

#include "platform/runtime_error.hpp"

namespace test {

// Runs f on a thread of its own, so that it starts with no window, and rethrows what f throws.
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

// The run-time error number that f ends with, or 0.
template <class F>
int error_number(F&& f) {
    try {
        f();
    } catch (const platform::runtime_error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace test
