// twhost: a container for control plug-ins. It loads them only through their C entry points (by ProgID
// from the platform's registry, or by library path), creates controls, and runs statements against them,
// printing every event and every printed result.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "info.hpp"
#include "interpreter.hpp"
#include "library.hpp"
#include "message_loop.hpp"
#include "parser.hpp"
#include "registration.hpp"
#include "tarnwick/version.h"

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig, which the on-screen windows' text drawing loads, keeps its font cache until the process
// ends; nothing releases it. LeakSanitizer is told so for that library alone.
extern "C" [[gnu::visibility("default")]] const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

namespace {

// Reads the whole file at path into text; 0, or the errno of the call that failed (a directory is
// EISDIR at its first read).
int read_file(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    char buffer[65536];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error;
}

// Where event lines go. By default to the terminal when there is one; a pipe or a file gets printed
// values only.
std::ostream* event_stream(twhost::event_stream where) {
    switch (where) {
        case twhost::event_stream::standard_output:
            return &std::cout;
        case twhost::event_stream::standard_error:
            return &std::cerr;
        case twhost::event_stream::none:
            return nullptr;
        case twhost::event_stream::by_default:
            break;
    }
    return ::isatty(STDOUT_FILENO) ? &std::cout : &std::cerr;
}

// Runs the registry actions, then the statements; the exit status.
int run(const twhost::options& o) {
    int status = 0;
    for (const twhost::action& x : o.actions) {
        try {
            switch (x.what) {
                case twhost::action::register_library:
                    twhost::register_library(x.argument, false, std::cout);
                    break;
                case twhost::action::unregister_library:
                    twhost::register_library(x.argument, true, std::cout);
                    break;
                case twhost::action::list:
                    twhost::list_classes(std::cout);
                    break;
                case twhost::action::info:
                    twhost::describe_class(x.argument, o.bitmap, std::cout);
                    break;
            }
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << "twhost: " << e.what() << '\n';
            status = 1;
        }
    }
    if (!o.actions.empty() && o.snippets.empty() && !o.script) return status;

    // Every source is parsed before anything runs: a syntax error runs nothing. The nth -e is named
    // "-e#n" in every message about it.
    std::vector<std::pair<std::string, std::vector<twhost::statement>>> sources;
    std::string parsing;
    try {
        for (std::size_t n = 0; n < o.snippets.size(); ++n) {
            parsing = "-e#" + std::to_string(n + 1);
            sources.emplace_back(parsing, twhost::parse_script(o.snippets[n]));
        }
        if (o.script && *o.script != "-") {
            std::string text;
            if (const int error = read_file(*o.script, text)) {
                std::cerr << "twhost: cannot read script '" << *o.script << "': " << std::strerror(error)
                          << '\n';
                return 2;
            }
            parsing = *o.script;
            sources.emplace_back(*o.script, twhost::parse_script(text));
        }
    } catch (const twhost::syntax_error& e) {
        std::cerr << parsing << ':' << e.line << ':' << e.column << ": syntax error: " << e.what() << '\n';
        return 2;
    }

    twhost::interpreter host(std::cout, std::cerr, event_stream(o.events));
    if (o.headless) host.windows().headless();
    for (const auto& [source, statements] : sources) {
        if (!host.run(statements, source, o.keep_going)) {
            status = 1;
            if (!o.keep_going) break;
        }
    }
    if (status == 0 || o.keep_going) {
        if ((o.snippets.empty() && !o.script) || o.script == "-") {
            const int result = twhost::run_session(host, o.keep_going);
            if (result > status) status = result;
        }
    }
    if (o.wait) {
        const int result = twhost::wait_for_windows(host.windows(), std::cout, std::cerr);
        if (result > status) status = result;
    }
    if (!host.shutdown()) status = 1;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const twhost::parsed command = twhost::parse(arguments);
    switch (command.what) {
        case twhost::parsed::kind::help:
            std::cout << twhost::help_text();
            return 0;
        case twhost::parsed::kind::version:
            std::cout << "twhost " << TARNWICK_VERSION_STRING << '\n';
            return 0;
        case twhost::parsed::kind::error:
            std::cerr << "twhost: " << command.message << '\n';
            return 2;
        case twhost::parsed::kind::run:
            break;
    }
    return run(command.to_run);
}
