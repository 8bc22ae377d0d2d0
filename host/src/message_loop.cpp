#include "message_loop.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "parser.hpp"

namespace twhost {
namespace {

// Longest wait, in seconds, for a window message before the input is looked at again.
constexpr double input_poll_interval = 0.05;
// Longest wait for a window message at the end of a run; only the closing of the last window ends it.
constexpr double closing_poll_interval = 0.5;

void report_window_error(const script_error& e, std::ostream& out, std::ostream& err) {
    out.flush();
    err << "twhost: window: run-time error " << e.number() << ": " << e.what() << '\n';
}

}  // namespace

bool input_lines::next(std::string& line, window_hosts& windows) {
    for (;;) {
        const std::size_t end_of_line = buffer_.find('\n');
        if (end_of_line != std::string::npos) {
            line.assign(buffer_, 0, end_of_line);
            buffer_.erase(0, end_of_line + 1);
            return true;
        }
        if (at_end_) {
            if (buffer_.empty()) return false;
            line = std::move(buffer_);
            buffer_.clear();
            return true;
        }
        if (windows.any_on_screen()) {
            pollfd input{fd_, POLLIN, 0};
            if (::poll(&input, 1, 0) == 0) {
                windows.pump(input_poll_interval);
                continue;
            }
        }
        read_some();
    }
}

void input_lines::read_some() {
    char chunk[4096];
    const ssize_t count = ::read(fd_, chunk, sizeof chunk);
    if (count > 0) {
        buffer_.append(chunk, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
        if (count < 0) std::cerr << "twhost: cannot read standard input: " << std::strerror(errno) << '\n';
        at_end_ = true;
    }
}

int run_session(interpreter& host, bool keep_going) {
    const bool interactive = ::isatty(STDIN_FILENO) != 0;
    int status = 0;
    input_lines input(STDIN_FILENO);
    std::string text;
    for (int line = 1;; ++line) {
        if (interactive) std::cout << "twhost> " << std::flush;
        try {
            if (!input.next(text, host.windows())) break;
        } catch (const script_error& e) {
            report_window_error(e, std::cout, std::cerr);
            if (status == 0) status = 1;
            --line;  // the line is still to come
            continue;
        }
        std::vector<statement> statements;
        try {
            statements = parse_line(text, line);
        } catch (const syntax_error& e) {
            std::cout.flush();
            std::cerr << "stdin:" << e.line << ':' << e.column << ": syntax error: " << e.what() << '\n';
            status = 2;
            if (interactive || keep_going) continue;
            return status;
        }
        if (!host.run(statements, "stdin", keep_going || interactive)) {
            if (status == 0) status = 1;
            if (!interactive && !keep_going) return status;
        }
    }
    if (interactive) std::cout << '\n';
    return status;
}

int wait_for_windows(window_hosts& windows, std::ostream& out, std::ostream& err) {
    if (!windows.any_on_screen()) return 0;
    out.flush();
    err << "twhost: waiting until the windows on screen are closed\n";
    int status = 0;
    while (windows.any_on_screen()) {
        try {
            windows.pump(closing_poll_interval);
        } catch (const script_error& e) {
            report_window_error(e, out, err);
            status = 1;
        }
    }
    return status;
}

}  // namespace twhost
