// twini: reads and edits INI files from the shell (twini --help, man twini).
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "apply.hpp"
#include "command.hpp"
#include "crudini.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/version.h"

namespace {

// A message is one line, whatever the names it quotes hold.
void complain(std::string_view message) {
    std::string line = "twini: ";
    for (const char c : message) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            line += c;
        }
    }
    line += '\n';
    platform::write_all_to(STDERR_FILENO, line);
}

// Standard output that cannot take what twini prints is a failure too (a full disk, a closed pipe).
int print(std::string_view text) {
    if (platform::write_all_to(STDOUT_FILENO, text)) return twini::done;
    complain(std::string("standard output: ") + std::strerror(errno));
    return twini::failed;
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file size limit (ulimit -f) then fails with EFBIG, reported and cleaned up as any
    // failed write is, instead of ending twini in the middle of a copy and leaving the copy behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // Likewise a closed pipe on standard output: the write fails with EPIPE, and the exit status says
    // whether the file was changed.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Under the name crudini, crudini's command line.
    const std::string_view name = argc > 0 ? std::string_view(argv[0]) : std::string_view();
    if (name.substr(name.find_last_of('/') + 1) == "crudini") return twini::crudini::main(arguments);
    const twini::parsed p = twini::parse(arguments);
    switch (p.what) {
        case twini::parsed::kind::help:
            return print(twini::help_text());
        case twini::parsed::kind::version:
            return print("twini " TARNWICK_VERSION_STRING "\n");
        case twini::parsed::kind::error:
            complain(p.message);
            return twini::usage;
        case twini::parsed::kind::run:
            break;
    }
    const twini::result r = twini::run(p.to_run);
    if (r.status != twini::done) {
        complain(r.message);
        return r.status;
    }
    if (p.to_run.verbose) complain(p.to_run.file + (r.changed ? ": changed" : ": unchanged"));
    if (r.out.print(STDOUT_FILENO)) return twini::done;
    if (!r.changed) {
        complain(std::string("standard output: ") + std::strerror(errno));
        return twini::failed;
    }
    // The change is made: say so, with a status of its own, so that nobody retries it blindly.
    complain(std::string("standard output: ") + std::strerror(errno) + "; the file was changed");
    return twini::changed_then_failed;
}
