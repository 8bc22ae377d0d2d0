// The on-screen backend: FLTK on the X display named by DISPLAY, built as a module of its own
// (libtarnwick-fltk.so) that the window toolkit loads when a window first goes on screen. It links
// nothing of the toolkit: it reaches the window model through the calls it is given.
//
// FLTK keeps one display connection and one event loop per process and is not meant to be driven from
// several threads, so the first thread that claims the screen keeps it for the life of the process.

// Ours first: X's headers define True and False as macros.
#include "tarnwick/version.h"
#include "tarnwick/windows/window.hpp"
#include "tarnwick/windows/window_screen.hpp"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/x.H>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

namespace platform::screen {
namespace {

constexpr Fl_Fontsize caption_size = 10;  // four caption lines fit a button 53 pixels high
constexpr Fl_Fontsize text_size = 12;

const model_calls* callbacks = nullptr;  // the model's, given once by the entry point
thread_local bool screen_thread = false;
// Depth of the handlers running inside FLTK callbacks, and an exception one of them raised.
thread_local int callback_depth = 0;
thread_local std::exception_ptr pending_error;

int pixels(int twips) {
    return (twips + twips_per_pixel / 2) / twips_per_pixel;
}

bool claim_screen() {
    if (screen_thread) return true;
    static std::mutex mutex;
    static bool decided = false;
    const std::lock_guard lock(mutex);
    if (decided) return false;
    decided = true;
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    // Opened here rather than by FLTK, which ends the process when it cannot open the display.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    screen_thread = true;
    return true;
}

// Runs a model handler from an FLTK callback. An exception must not unwind through FLTK: it is kept and
// pump() rethrows it once FLTK has returned.
template <class Handler>
void deliver(Handler handler) noexcept {
    ++callback_depth;
    try {
        handler();
    } catch (...) {
        if (!pending_error) pending_error = std::current_exception();
    }
    --callback_depth;
}

// A label draws '@' as the start of a symbol; a caption means the character.
std::string label_text(std::u16string_view caption) {
    std::string label;
    for (const char c : screen_text(caption)) {
        label += c;
        if (c == '@') label += '@';
    }
    return label;
}

// The buffer is a base so that it is destroyed after the editor, which detaches from it on destruction.
struct buffer_holder {
    Fl_Text_Buffer storage;
};

// A text area with the usual editing commands on its keys (FLTK's own) and on a context menu.
class text_area final : private buffer_holder, public Fl_Text_Editor {
  public:
    text_area(int x, int y, int w, int h) : Fl_Text_Editor(x, y, w, h) {
        buffer(&storage);
        textsize(text_size);
    }

    Fl_Text_Buffer& text() { return storage; }
    const Fl_Text_Buffer& text() const { return storage; }

    int handle(int event) override {
        if (event == FL_PUSH && Fl::event_button() == FL_RIGHT_MOUSE) {
            context_menu();
            return 1;
        }
        // Tab is left to the window, which moves the focus to the next control in tab order.
        if (event == FL_KEYBOARD && Fl::event_key() == FL_Tab && !Fl::event_state(FL_CTRL | FL_ALT)) return 0;
        return Fl_Text_Editor::handle(event);
    }

  private:
    void context_menu() {
        take_focus();
        const int unless_selected = storage.selected() != 0 ? 0 : FL_MENU_INACTIVE;
        const Fl_Menu_Item items[] = {
            {"Undo", 0, nullptr, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
            {"Cut", 0, nullptr, nullptr, unless_selected, 0, 0, 0, 0},
            {"Copy", 0, nullptr, nullptr, unless_selected, 0, 0, 0, 0},
            {"Paste", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
            {"Delete", 0, nullptr, nullptr, unless_selected | FL_MENU_DIVIDER, 0, 0, 0, 0},
            {"Select All", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
            {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
        };
        static constexpr Key_Func commands[] = {kf_undo, kf_cut, kf_copy, kf_paste, kf_delete, kf_select_all};
        const Fl_Menu_Item* chosen = items->popup(Fl::event_x(), Fl::event_y());
        if (chosen != nullptr) commands[chosen - items](0, this);
    }
};

class fltk_peer final : public peer {
  public:
    explicit fltk_peer(window& model) : model_(model) {
        const window_layout& layout = callbacks->layout(model);
        frame_ = new Fl_Double_Window(pixels(layout.width), pixels(layout.height));
        try {
            frame_->copy_label(screen_text(layout.title).c_str());
            frame_->size_range(frame_->w(), frame_->h(), frame_->w(), frame_->h());
            frame_->callback(on_close, this);
            // Children are created in tab order, which is the order FLTK moves the focus in.
            for (const control_layout& c : layout.controls) {
                const int x = pixels(c.left), y = pixels(c.top), w = pixels(c.width), h = pixels(c.height);
                if (c.kind == control_kind::text_area) {
                    controls_.push_back(new text_area(x, y, w, h));
                } else {
                    auto* button = new Fl_Button(x, y, w, h);
                    button->labelsize(caption_size);
                    button->callback(on_click, this);
                    controls_.push_back(button);
                }
            }
            frame_->end();
        } catch (...) {
            frame_->end();
            delete frame_;
            throw;
        }
    }

    ~fltk_peer() override {
        frame_->hide();
        // Inside one of the window's own callbacks FLTK still uses it: it goes when the pump returns.
        if (callback_depth > 0) {
            Fl::delete_widget(frame_);
        } else {
            delete frame_;
        }
        Fl::flush();
    }

    fltk_peer(const fltk_peer&) = delete;
    fltk_peer& operator=(const fltk_peer&) = delete;

    void text(std::size_t control, std::u16string_view value) override {
        Fl_Widget* widget = controls_.at(control);
        if (auto* area = dynamic_cast<text_area*>(widget)) {
            area->text().text(screen_text(value).c_str());
        } else {
            widget->copy_label(label_text(value).c_str());
            widget->redraw();
        }
    }

    string text(std::size_t control) const override {
        const auto& area = dynamic_cast<const text_area&>(*controls_.at(control));
        char* utf8 = const_cast<Fl_Text_Buffer&>(area.text()).text();
        string result = model_text(utf8);
        std::free(utf8);
        return result;
    }

    void show() override { frame_->show(); }

  private:
    // The user closing the window. Escape reaches a window's callback too; it closes nothing here.
    static void on_close(Fl_Widget*, void* self) {
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        window& model = static_cast<fltk_peer*>(self)->model_;
        deliver([&] { callbacks->close(model); });  // destroys the peer
    }

    static void on_click(Fl_Widget* button, void* self) {
        const auto* peer = static_cast<fltk_peer*>(self);
        window& model = peer->model_;
        std::size_t i = 0;
        while (peer->controls_[i] != button) ++i;
        const std::string name = callbacks->layout(model).controls[i].name;
        deliver([&] { callbacks->click(model, name); });
    }

    window& model_;
    Fl_Double_Window* frame_;
    std::vector<Fl_Widget*> controls_;  // by index of the layout; the frame owns them
};

void pump(double timeout_seconds) {
    if (!screen_thread || Fl::first_window() == nullptr) return;
    Fl::wait(timeout_seconds);
    Fl::do_widget_deletion();  // windows closed by their own callbacks, now that those are over
    if (pending_error) std::rethrow_exception(std::exchange(pending_error, nullptr));
}

constexpr table real_calls = {
    claim_screen,
    [](window& model) -> std::unique_ptr<peer> { return std::make_unique<fltk_peer>(model); },
    pump,
};

}  // namespace
}  // namespace platform::screen

extern "C" [[gnu::visibility("default")]] const platform::screen::table* tarnwick_screen_module(
    const char* version, const platform::screen::model_calls* calls) {
    using namespace platform::screen;
    if (version == nullptr || std::strcmp(version, TARNWICK_VERSION_STRING) != 0 || calls == nullptr)
        return nullptr;
    callbacks = calls;
    return &real_calls;
}
