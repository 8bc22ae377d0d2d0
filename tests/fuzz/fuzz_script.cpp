// twhost's parser and interpreter on arbitrary script text, run headless against both plug-ins, the
// writer and the reader, registered in a registry of the run's own. Syntax and run-time errors are fine;
// a crash, a leak, a hang or a control left alive at the end is not.
//
// The script runs in a scratch directory that is emptied after each input. A script holding a '/' is
// skipped: without one, every file a script can name is a name in that directory, so nothing outside it
// is ever written, and CreateObject can only load a registered plug-in. Inputs are short and only their
// first statements run, and strings are bounded, so every input takes little time and memory.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "interpreter.hpp"
#include "library.hpp"
#include "memory_file.hpp"
#include "parser.hpp"

namespace {

constexpr std::size_t max_input = 4096;
constexpr std::size_t max_statements = 64;
constexpr std::size_t max_string = 64 * 1024;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

const std::string& work_dir() {
    static const std::string dir = fuzz::scratch_dir() + "/work";
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::umask(022);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    // The registry lives beside the work directory, out of a script's reach.
    const std::string registry_dir = fuzz::scratch_dir() + "/registry";
    if (::mkdir(registry_dir.c_str(), 0700) != 0 || ::mkdir(work_dir().c_str(), 0700) != 0) std::abort();
    ::setenv("TARNWICK_REGISTRY", (registry_dir + "/registry").c_str(), 1);
    for (const char* path : {TARNWICK_WRITER_LIBRARY, TARNWICK_READER_LIBRARY}) {
        // Loaded once for the whole run: each input's load and unload only counts references, so the
        // libraries' constructors and coverage counters are set up once.
        if (::dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE) == nullptr) std::abort();
        if (twhost::library(path).register_server() != TWC_OK) std::abort();
    }
    if (::chdir(work_dir().c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (size > max_input || text.find('/') != std::string::npos) return 0;
    std::vector<twhost::statement> statements;
    try {
        statements = twhost::parse_script(text);
    } catch (const twhost::syntax_error& e) {
        check(e.line >= 1 && e.column >= 1);
        return 0;
    }
    if (statements.size() > max_statements) statements.resize(max_statements);

    std::ostream discard(nullptr);
    {
        twhost::interpreter host(discard, discard, &discard);
        host.windows().headless();
        host.limit_strings(max_string);
        host.run(statements, "fuzz", true);
        // The window a script may have left open belongs to the library, which outlives this input.
        if (host.windows().is_open("tw_const_window")) host.windows().close("tw_const_window");
        // Every control is released here: a library that still counts one was leaked a reference.
        check(host.shutdown());
    }

    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(work_dir(), ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
    return 0;
}
