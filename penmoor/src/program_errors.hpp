// Failures of the interface for programs (ini_file, ini_text, settings): the platform's run-time errors
// and the core's refusals as one penmoor::error that names the file, says what failed and what would help.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "penmoor/ini_file.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace penmoor::program {

[[noreturn]] void fail(const std::string& path, const file_options& o, int number, std::string_view detail);

// Runs `run`; a run-time error (the core's refusals among them) or a failed allocation becomes a
// penmoor::error of the file at path.
template <class Run>
auto guarded(const std::string& path, const file_options& o, Run&& run) {
    try {
        return run();
    } catch (const platform::runtime_error& e) {
        fail(path, o, e.number(), e.detail());
    } catch (const std::bad_alloc&) {
        fail(path, o, platform::err::out_of_memory, "out of memory");
    }
}

}  // namespace penmoor::program
