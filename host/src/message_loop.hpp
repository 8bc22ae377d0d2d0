// twhost's message loop: the windows of the plug-ins get their messages (clicks, typing, closing,
// repainting) while twhost waits for a statement on standard input, and at the end of a run until the
// last window on screen is closed.
#pragma once

#include <iosfwd>
#include <string>

#include "interpreter.hpp"

namespace twhost {

// A descriptor's text, one line at a time, read straight from the descriptor so that nothing read waits
// unseen in a stream's buffer while the windows are pumped.
class input_lines {
  public:
    explicit input_lines(int fd) noexcept : fd_(fd) {}

    // The next line, without its LF; false at the end of the input (a read error, reported, ends it too).
    // While no input is ready and a window is on screen, the windows' messages are handled; a window
    // handler's error is thrown as script_error, and the next call goes on reading.
    bool next(std::string& line, window_hosts& windows);

  private:
    void read_some();

    int fd_;
    std::string buffer_;
    bool at_end_ = false;
};

// Runs statements read from standard input, line by line, as they arrive; on a terminal with a prompt.
// A syntax error or a failing statement is reported and ends the session unless it is interactive or
// keep_going is set. Returns the exit status: 0, 1 for a failing statement or window, 2 for a syntax
// error.
int run_session(interpreter& host, bool keep_going);

// Pumps the messages of the windows on screen until every one of them is closed: only the user closes
// them. A headless window is not waited for, since nothing but a script could close it. Returns 1 when a
// window's handler failed meanwhile (it is reported to err), else 0.
int wait_for_windows(window_hosts& windows, std::ostream& out, std::ostream& err);

}  // namespace twhost
