// The window model, the thread's list of windows and the choice of backend.
#include "tarnwick/windows/window.hpp"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/windows/window_screen.hpp"

namespace platform {
namespace {

// Every window of this thread, newest first. A plain pointer, so that it outlives any window that a
// thread_local object of another library owns, whatever the order of their destruction.
thread_local window* first_window = nullptr;

std::atomic<window_backend> chosen_backend{window_backend::automatic};

std::string quoted(std::string_view name) {
    return "'" + std::string(name) + "'";
}

}  // namespace

window::window(window_layout layout) : layout_(std::move(layout)), next_(first_window) {
    first_window = this;
}

window::~window() {
    discard();
    for (window** link = &first_window; *link != nullptr; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
}

void window::show() {
    if (open_) {
        if (peer_) peer_->show();
        return;
    }
    const bool screen = chosen_backend.load() == window_backend::automatic && screen::calls().claim();
    try {
        texts_.assign(layout_.controls.size(), string());
        if (screen) peer_ = screen::calls().make(*this);
        open_ = true;
        load();
        if (peer_) peer_->show();
    } catch (const std::bad_alloc&) {
        discard();
        throw runtime_error(err::out_of_memory, "cannot create or show the window " + quoted(layout_.name));
    } catch (...) {
        discard();
        throw;
    }
}

void window::close() {
    discard();
}

void window::discard() noexcept {
    open_ = false;
    peer_.reset();
    texts_.clear();
}

std::size_t window::index_of(std::string_view control) const {
    if (!open_) throw runtime_error(err::invalid_call, "the window " + quoted(layout_.name) + " is not open");
    const auto& controls = layout_.controls;
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const control_layout& c) { return c.name == control; });
    if (found == controls.end()) {
        throw runtime_error(err::invalid_call,
                            "the window " + quoted(layout_.name) + " has no control " + quoted(control));
    }
    return static_cast<std::size_t>(found - controls.begin());
}

string window::text(std::string_view control) const {
    const std::size_t i = index_of(control);
    if (peer_ && layout_.controls[i].kind == control_kind::text_area) return peer_->text(i);
    return texts_[i];
}

void window::text(std::string_view control, std::u16string_view value) {
    const std::size_t i = index_of(control);
    texts_[i] = value;
    if (peer_) peer_->text(i, value);
}

void window::click(std::string_view button) {
    const std::size_t i = index_of(button);
    if (layout_.controls[i].kind != control_kind::button) {
        throw runtime_error(err::invalid_call, quoted(button) + " is not a button");
    }
    clicked(layout_.controls[i].name);
}

template <class Test>
window* window::first_where(Test test) noexcept {
    for (window* w = first_window; w != nullptr; w = w->next_) {
        if (test(*w)) return w;
    }
    return nullptr;
}

window* find_window(std::string_view name) noexcept {
    return window::first_where([&](const window& w) { return w.layout().name == name; });
}

bool any_window_open() noexcept {
    return window::first_where([](const window& w) { return w.is_open(); }) != nullptr;
}

bool any_window_on_screen() noexcept {
    return window::first_where([](const window& w) { return w.on_screen(); }) != nullptr;
}

void pump_windows(double timeout_seconds) {
    screen::calls().pump(timeout_seconds);
}

void use_window_backend(window_backend backend) noexcept {
    chosen_backend.store(backend);
}

namespace screen {

// The live table starts as the backend's own (window_fltk.cpp or window_headless.cpp).
table& calls() noexcept {
    static table live = real();
    return live;
}

}  // namespace screen
}  // namespace platform
