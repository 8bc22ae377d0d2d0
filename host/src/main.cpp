// twhost: a container for control plug-ins. It loads them only through their C entry points (by ProgID
// from the platform's registry, or by library path), creates controls, and runs statements against them,
// printing every event and every printed result.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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

constexpr const char* usage = R"(usage: twhost [options] [SCRIPT | -]

Runs statements against control plug-ins, printing each printed result on standard output and each
event ("w.State 64 TW_MADEFILE", "w.hasWrite") where --events says. Without SCRIPT or -e, reads
statements from standard input, interactively on a terminal.

  -e STATEMENTS     run STATEMENTS (may be given more than once, numbered -e#1, -e#2, ... in
                    messages; runs before SCRIPT)
  -k, --keep-going  go on after a failing statement; the exit status still reports it
  --no-wait         exit at the end of the run even while windows are on screen
  --headless        keep every window off the screen, even where a display is present
  --register LIB    register the control class of library LIB (a path) in your registry
  --unregister LIB  remove it from your registry again
  --list            list the registered classes, yours and the system's
  --info CLASS      describe a class, named by ProgID or library path: type information, version
                    record, misc status, design-time face and toolbox bitmap
  --bitmap FILE     with --info: also write the class's toolbox bitmap (.bmp) to FILE
  --events=WHERE    where event lines go: stdout, stderr or none; by default standard output when it
                    is a terminal and standard error otherwise, so that $(twhost -e 'Print ...')
                    captures printed values only
  --version         show the version
  -h, --help        show this help

Statements:
  Set w = CreateObject("quillset.ini")   create a control (a ProgID, or the path of a library)
  w.CreateNew = True                     set a property
  w.addSetting "Paths", "Home", "C:\x"   call a method; parentheses around the arguments are optional
  Print w.getSetting("Paths", "Home")    print values; "," puts a space between them, ";" nothing
  n = r.GetNumberOfHeaders()             a plain variable
  Set w = Nothing                        release a control
  w.showConstants                        open the writer's constants window, "tw_const_window"
  Click "tw_const_window", "Command1"    click a button of an open window
  Print WindowText("tw_const_window", "tw_const")   a control's text: the text area's, a caption
  CloseWindow "tw_const_window"          close an open window, as its user would
Values: "text" ("" for a quote), whole numbers, True, False, variables, obj.Member(args), -x, a & b,
WindowText(window, control), WindowOpen(window) (True while it is open), Len(value) (its length in
characters). ":" separates statements on a line, ' starts a comment. Print writes each CR LF of a value
as a line break. Parentheses, unary minus and argument lists nest at most 256 levels deep.

Messages name the source (the script, -e#N for the Nth -e, stdin), its line and, for a syntax error, the
column:
  script.tws:3:14: syntax error: expected a value
  -e#2:1: run-time error 53: File not found: ...

Windows: a control's window goes on screen where a display is present (DISPLAY), else it is headless: the
same window, open until a script closes it. twhost handles the messages of the windows on screen while
it waits for a statement on standard input, and at the end of the run it waits until the user has closed
every window on screen (not with --no-wait). It never waits for a headless window.

Your registry is the file named by TARNWICK_REGISTRY, else $XDG_CONFIG_HOME/tarnwick/registry, else
~/.config/tarnwick/registry. It is used only when it is a regular file that nobody but you (or root) may
write, in a directory nobody but you (or root) may write, and names libraries by absolute paths; else
it is refused with the reason. After it comes the system's registry, share/tarnwick/registry of the
installation twhost belongs to (or TARNWICK_SYSTEM_REGISTRY); a class of yours wins over one of it.
The system's registry and every library loaded are used only when they and every directory on the way
to them (and every link) are yours or root's and nobody else may write them (a sticky directory, as
/tmp, may be anyone's to write); a library is loaded from the descriptor that was checked.

Exit status: 0 when everything succeeded, 1 when a statement or an action failed, 2 for bad usage or a
syntax error.
)";

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

struct action {
    enum kind { register_library, unregister_library, list, info } what;
    std::string argument;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<action> actions;
    std::vector<std::string> snippets;
    std::string script, bitmap;
    bool keep_going = false;
    bool wait = true;
    bool headless = false;
    bool script_given = false;
    // Events go to the terminal when there is one; a pipe or a file gets printed values only.
    std::ostream* events = ::isatty(STDOUT_FILENO) ? &std::cout : &std::cerr;

    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                std::cerr << "twhost: " << a << " needs a value (see twhost --help)\n";
                std::exit(2);
            }
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            std::cout << usage;
            return 0;
        } else if (a == "--version") {
            std::cout << "twhost " << TARNWICK_VERSION_STRING << '\n';
            return 0;
        } else if (a.starts_with("--events=")) {
            const std::string where = a.substr(9);
            if (where == "stdout") {
                events = &std::cout;
            } else if (where == "stderr") {
                events = &std::cerr;
            } else if (where == "none") {
                events = nullptr;
            } else {
                std::cerr << "twhost: --events takes stdout, stderr or none, not '" << where << "'\n";
                return 2;
            }
        } else if (a == "-e") {
            snippets.push_back(value());
        } else if (a == "-k" || a == "--keep-going") {
            keep_going = true;
        } else if (a == "--no-wait") {
            wait = false;
        } else if (a == "--headless") {
            headless = true;
        } else if (a == "--register") {
            actions.push_back({action::register_library, value()});
        } else if (a == "--unregister") {
            actions.push_back({action::unregister_library, value()});
        } else if (a == "--list") {
            actions.push_back({action::list, {}});
        } else if (a == "--info") {
            actions.push_back({action::info, value()});
        } else if (a == "--bitmap") {
            bitmap = value();
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "twhost: unknown option '" << a << "' (see twhost --help)\n";
            return 2;
        } else if (script_given) {
            std::cerr << "twhost: more than one script given ('" << script << "', '" << a << "')\n";
            return 2;
        } else {
            script = a;
            script_given = true;
        }
    }
    if (!bitmap.empty() && std::none_of(actions.begin(), actions.end(),
                                        [](const action& x) { return x.what == action::info; })) {
        std::cerr << "twhost: --bitmap goes with --info\n";
        return 2;
    }

    int status = 0;
    for (const action& x : actions) {
        try {
            switch (x.what) {
                case action::register_library:
                    twhost::register_library(x.argument, false, std::cout);
                    break;
                case action::unregister_library:
                    twhost::register_library(x.argument, true, std::cout);
                    break;
                case action::list:
                    twhost::list_classes(std::cout);
                    break;
                case action::info:
                    twhost::describe_class(x.argument, bitmap, std::cout);
                    break;
            }
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << "twhost: " << e.what() << '\n';
            status = 1;
        }
    }
    if (!actions.empty() && snippets.empty() && !script_given) return status;

    // Every source is parsed before anything runs: a syntax error runs nothing. The nth -e is named
    // "-e#n" in every message about it.
    std::vector<std::pair<std::string, std::vector<twhost::statement>>> sources;
    std::string parsing;
    try {
        for (std::size_t n = 0; n < snippets.size(); ++n) {
            parsing = "-e#" + std::to_string(n + 1);
            sources.emplace_back(parsing, twhost::parse_script(snippets[n]));
        }
        if (script_given && script != "-") {
            std::string text;
            if (const int error = read_file(script, text)) {
                std::cerr << "twhost: cannot read script '" << script << "': " << std::strerror(error)
                          << '\n';
                return 2;
            }
            parsing = script;
            sources.emplace_back(script, twhost::parse_script(text));
        }
    } catch (const twhost::syntax_error& e) {
        std::cerr << parsing << ':' << e.line << ':' << e.column << ": syntax error: " << e.what() << '\n';
        return 2;
    }

    twhost::interpreter host(std::cout, std::cerr, events);
    if (headless) host.windows().headless();
    for (const auto& [source, statements] : sources) {
        if (!host.run(statements, source, keep_going)) {
            status = 1;
            if (!keep_going) break;
        }
    }
    if (status == 0 || keep_going) {
        if ((snippets.empty() && !script_given) || script == "-") {
            const int result = twhost::run_session(host, keep_going);
            if (result > status) status = result;
        }
    }
    if (wait) {
        const int result = twhost::wait_for_windows(host.windows(), std::cout, std::cerr);
        if (result > status) status = result;
    }
    if (!host.shutdown()) status = 1;
    return status;
}
