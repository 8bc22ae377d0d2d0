// The on-screen backend of platform::window, behind one table of calls.
//
// Production uses the real table. Where the library is built with FLTK, the backend is a module of its
// own (libtarnwick-fltk.so), loaded the first time a window is to go on screen, so that a program with
// windows links no GUI toolkit until one is shown; otherwise the table never claims the screen, and every
// window is headless. A test may replace entries, for example to make peers that record what the model
// asks of them, or a make() that fails. The table is process-wide and not synchronised: swap entries only
// while no window is open.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tarnwick/files/types.hpp"

namespace platform {
class window;
struct window_layout;
}  // namespace platform

namespace platform::screen {

// The on-screen side of one open window. It shows the model's controls, and reports the user's clicks and
// closing to the model through window::click() and window::close(); close() destroys the peer, which must
// then touch nothing of its own.
class peer {
  public:
    virtual ~peer() = default;

    // Sets the displayed text of the control at this index of the layout.
    virtual void text(std::size_t control, std::u16string_view value) = 0;
    // The displayed text of the text area at this index, as the user left it.
    virtual string text(std::size_t control) const = 0;
    // Shows the window, or brings it forward when it is shown already.
    virtual void show() = 0;
};

struct table {
    // True when the calling thread may put windows on screen. The first thread to be told true keeps the
    // screen; every other thread is told false from then on.
    bool (*claim)();
    // A peer for the window, with its controls created and every text empty, not yet shown. Throws when
    // the window cannot be created.
    std::unique_ptr<peer> (*make)(window& model);
    // Handles the screen's messages, waiting at most timeout_seconds for the first, and rethrows an
    // exception that a handler raised meanwhile. Returns at once on a thread that does not own the screen
    // or has no window shown on it.
    void (*pump)(double timeout_seconds);
};

// The live table.
table& calls() noexcept;

// The real backend, for a test that wraps it. With the module: its claim() is false where DISPLAY is
// unset or empty, and loads nothing; otherwise it loads the module, once per process, and a module that
// cannot be loaded ends claim() with runtime_error 48 naming its path and the loader's reason.
const table& real() noexcept;

// What the module asks of the model, whose code and type information it does not link: it calls no
// member of a window itself.
struct model_calls {
    const window_layout& (*layout)(const window& model);    // window::layout
    void (*click)(window& model, std::string_view button);  // window::click
    void (*close)(window& model);                           // window::close
};

// The module's one entry point, by this name: its table, or nullptr when the module was built from
// another version than the one named (the types between the two are C++, and must be the same build).
using module_entry = const table* (*)(const char* version, const model_calls* calls);
inline constexpr const char* module_entry_name = "tarnwick_screen_module";

// The module's absolute path, both fixed when the library is built: the build tree's while this code
// runs from a file in the build tree (the tests, the demo), the installed one otherwise.
std::string module_path();

// Makes the real backend load its module from path instead (the empty path: module_path()), for a
// test. False, and nothing changes, once a module has been loaded: it stays for the process's life.
bool use_module(std::string path);

// A model text as the screen shows it, in UTF-8: each CR LF becomes one LF.
std::string screen_text(std::u16string_view text);
// A text from the screen as the model keeps it: each LF that follows no CR becomes CR LF.
string model_text(std::string_view text);

}  // namespace platform::screen
