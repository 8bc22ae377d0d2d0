// The on-screen backend of a library built without a toolkit: it never claims the screen, so every window
// is headless.
#include <new>

#include "tarnwick/windows/window_screen.hpp"

namespace platform::screen {
namespace {

constexpr table real_calls = {
    [] { return false; },
    [](window&) -> std::unique_ptr<peer> { throw std::bad_alloc(); },
    [](double) {},
};

}  // namespace

const table& real() noexcept {
    return real_calls;
}

}  // namespace platform::screen
