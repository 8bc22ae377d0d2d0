#include "tarnwick/files/sys.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::sys {
namespace {

constexpr table real_calls = {
#define TARNWICK_SYSTEM_CALL_REAL(name, kind, result, parameters, arguments, real) \
    [] parameters -> result { return real; },
    TARNWICK_SYSTEM_CALLS(TARNWICK_SYSTEM_CALL_REAL)
#undef TARNWICK_SYSTEM_CALL_REAL
};

table live_calls = real_calls;

}  // namespace

table& calls() noexcept {
    return live_calls;
}
const table& real() noexcept {
    return real_calls;
}

}  // namespace platform::sys
