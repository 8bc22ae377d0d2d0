// Top-level windows: a window model that a program, a test or a script drives, shown on screen when a
// display is present.
//
// A window has a fixed layout (title, client size, controls placed in twips) and is open or closed. Opening
// it creates its controls with empty texts and runs its load step; closing it discards the controls and
// their texts, and the window object remains, to be opened afresh. The model is the same on both backends:
//
// - on screen: an FLTK window, when the library is built with FLTK (TARNWICK_WITH_FLTK) and the X display
//   named by DISPLAY can be opened. FLTK is reached through a module of its own (libtarnwick-fltk.so),
//   loaded when the first window opens in automatic mode while DISPLAY is set; a module that cannot be
//   loaded then makes show() fail with runtime_error 48, naming the module and the reason. The first
//   thread that opens a window while a display is present owns the screen for the life of the process;
//   windows of every other thread are headless, since FLTK serves one thread. The display is looked at
//   once per process, when the first window opens in automatic mode while DISPLAY is set.
// - headless: the model alone, with no display; the program clicks, reads and closes it through this
//   interface.
//
// Threads: a window belongs to the thread that created it. Create, use and destroy it on that thread; every
// function below that takes no window works on the calling thread's windows.
//
// A host's message loop, once some control has opened a window, for example:
//
//     while (platform::any_window_on_screen()) platform::pump_windows(0.1);
//
// and a script, headless (after use_window_backend(window_backend::headless)) or on screen alike:
//
//     platform::window* w = platform::find_window("tw_const_window");
//     w->click("Command1");
//     platform::string text = w->text("tw_const");
//     w->close();
//
// A host outside the library that made the windows reaches the same functions through window_host.h.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/files/types.hpp"

namespace platform {

// Twips are 1/1440 inch. On screen 15 twips make one pixel: the screen is taken to have 96 dots per inch.
inline constexpr int twips_per_pixel = 15;

enum class control_kind {
    text_area,  // multi-line and editable; its text is its content
    button,     // push button; its text is its caption
};

struct control_layout {
    std::string name;
    control_kind kind;
    int left, top, width, height;  // twips, within the client area
};

// Controls are listed in tab order. They keep their places: the window has no layout logic.
struct window_layout {
    std::string name;   // the window class's name, by which find_window() finds it
    string title;       // shown in the frame
    int width, height;  // the client area, in twips
    std::vector<control_layout> controls;
};

namespace screen {
class peer;
}

class window {
  public:
    // A closed window of the calling thread.
    explicit window(window_layout layout);
    // Takes the window off the screen when it is shown there.
    virtual ~window();
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    const window_layout& layout() const noexcept { return layout_; }
    bool is_open() const noexcept { return open_; }
    // Open and shown on screen, rather than headless.
    bool on_screen() const noexcept { return peer_ != nullptr; }

    // Closed: opens the window. Its controls start with empty texts, load() runs, and the window is shown,
    // modeless, without an owner, at the place the window system chooses. Open: only brings it forward;
    // load() does not run and every text stays as it is. Returns at once in both cases.
    // A window that cannot be created or shown ends the call with runtime_error 7 (Out of memory), one
    // whose on-screen module cannot be loaded with runtime_error 48, and it stays closed; an exception of
    // load() propagates as it is, and the window stays closed too.
    void show();

    // The user closing the window: its controls and their texts are discarded. Nothing when closed.
    void close();

    // A control's text: the content of a text area, as the user left it, or a button's caption. Lines are
    // joined by CR LF. On screen a text area shows CR LF as one line break and gives a line break back as
    // CR LF; a lone CR or LF is not kept apart from it there.
    // A name that no control has, or a closed window: runtime_error 5.
    string text(std::string_view control) const;
    void text(std::string_view control, std::u16string_view value);

    // The user clicking a button: clicked() runs. On screen a click of the mouse does the same.
    // A name that no button has, or a closed window: runtime_error 5.
    void click(std::string_view button);

  protected:
    // The load step: runs each time the window opens, before it is displayed, with every text empty.
    virtual void load() {}
    // A click on a button.
    virtual void clicked(std::string_view button) { (void)button; }

  private:
    friend window* find_window(std::string_view name) noexcept;
    friend bool any_window_open() noexcept;
    friend bool any_window_on_screen() noexcept;
    // The calling thread's newest window that passes test.
    template <class Test>
    static window* first_where(Test test) noexcept;

    std::size_t index_of(std::string_view control) const;
    void discard() noexcept;

    window_layout layout_;
    bool open_ = false;
    std::vector<string> texts_;           // of every control while open; the text area's is stale on screen
    std::unique_ptr<screen::peer> peer_;  // while open on screen
    window* next_ = nullptr;              // the thread's windows, newest first
};

// The calling thread's window of that layout name, the newest if several; nullptr when there is none.
window* find_window(std::string_view name) noexcept;

// Whether any window of the calling thread is open; on screen only, for the second.
bool any_window_open() noexcept;
bool any_window_on_screen() noexcept;

// The host's message loop step: handles the messages of the calling thread's on-screen windows (clicks,
// typing, the user closing a window, repainting), waiting at most timeout_seconds for the first. Returns
// at once on a thread with no window on screen: a headless window has no messages. An exception that a
// window's handler raised while a message was handled ends the call.
void pump_windows(double timeout_seconds);

enum class window_backend {
    automatic,  // on screen where the rules above allow it, headless elsewhere
    headless,   // always headless
};

// Chooses the backend for windows opened from now on, in every thread; windows already open keep theirs.
// The default is automatic.
void use_window_backend(window_backend backend) noexcept;

}  // namespace platform
