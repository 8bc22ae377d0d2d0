// The windows of the loaded plug-ins, reached through each library's window host table.
//
// A plug-in keeps its windows in its own copy of the platform layer, out of reach of the host's; the host
// collects the table of every library that offers one and asks each of them in turn. A window is named
// by its class's name ("tw_const_window"), whichever library it belongs to. Everything here works on the
// calling thread's windows, which for twhost are those of its one thread.
#pragma once

#include <string>
#include <vector>

#include "tarnwick/files/types.hpp"
#include "tarnwick/windows/window_host.h"

namespace twhost {

class window_hosts {
  public:
    // Adds the table of a library just loaded (nullptr: a library without windows). With headless set,
    // the library's windows never go on screen.
    void add(const twc_window_host* table);
    // Drops every table; called before the libraries are unloaded.
    void clear() noexcept { tables_.clear(); }

    // Windows opened from now on stay headless, even where a display is present.
    void headless();

    // Whether some window is open on screen. A headless window never counts: only a script closes it.
    bool any_on_screen() const noexcept;

    // Handles the messages of the windows on screen (clicks, typing, closing, repainting), waiting at
    // most timeout_seconds for the first; returns at once when none is on screen. A window handler's
    // run-time error is thrown as script_error once its table has finished.
    void pump(double timeout_seconds);

    // Whether the window called name is open, in any library.
    bool is_open(const std::string& name) const noexcept;

    // The user's actions on an open window, headless or on screen. A window that is not open is run-time
    // error 5; so are a control the window does not have and a click on what is not a button.
    void click(const std::string& name, const std::string& button) const;
    platform::string text(const std::string& name, const std::string& control) const;
    void close(const std::string& name) const;

  private:
    // The table holding the open window called name; script_error 5 when none does.
    const twc_window_host& holder(const std::string& name) const;

    std::vector<const twc_window_host*> tables_;
    bool headless_ = false;
};

}  // namespace twhost
