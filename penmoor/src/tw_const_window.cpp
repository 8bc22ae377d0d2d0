#include "tw_const_window.hpp"

#include <memory>

#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

// In twips; controls in tab order.
platform::window_layout constants_layout() {
    using platform::control_kind;
    return {
        "tw_const_window",
        u"Tarnwick ini writer constants",
        6585,
        4905,
        {
            {"tw_const", control_kind::text_area, 60, 60, 6480, 3585},
            {"Command1", control_kind::button, 135, 3840, 1965, 855},
            {"Command2", control_kind::button, 4275, 3870, 1665, 795},
        },
    };
}

}  // namespace

tw_const_window& tw_const_window::of_this_thread() {
    thread_local std::unique_ptr<tw_const_window> the_window;
    if (!the_window) the_window = std::make_unique<tw_const_window>();
    return *the_window;
}

tw_const_window::tw_const_window() : window(constants_layout()) {}

void tw_const_window::load() {
    text("Command1", module_caption);
    text("Command2", form_caption);
}

void tw_const_window::clicked(std::string_view button) {
    text("tw_const", button == "Command1" ? module_text : form_text);
}

void ini::showConstants() {
    tw_const_window::of_this_thread().show();
}

}  // namespace penmoor
