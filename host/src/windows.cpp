#include "windows.hpp"

#include <algorithm>
#include <cstdlib>

#include "object.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace twhost {
namespace {

// An error record as a table fills it, released with the record.
struct error_record : twc_error {
    error_record() : twc_error{sizeof(twc_error), 0, nullptr, UINT32_MAX} {}
    ~error_record() { twc_error_clear(this); }
    error_record(const error_record&) = delete;
    error_record& operator=(const error_record&) = delete;

    [[noreturn]] void raise(twc_status status) const {
        throw script_error(
            number != 0 ? number : platform::err::automation,
            message != nullptr ? message : std::string("Automation error: ") + status_name(status));
    }
};

}  // namespace

void window_hosts::add(const twc_window_host* table) {
    if (table == nullptr || std::find(tables_.begin(), tables_.end(), table) != tables_.end()) return;
    if (headless_) table->use_backend(TWC_WINDOW_BACKEND_HEADLESS);
    tables_.push_back(table);
}

void window_hosts::headless() {
    headless_ = true;
    for (const twc_window_host* table : tables_) table->use_backend(TWC_WINDOW_BACKEND_HEADLESS);
}

bool window_hosts::any_on_screen() const noexcept {
    return std::any_of(tables_.begin(), tables_.end(),
                       [](const twc_window_host* t) { return t->any_open(1) == TWC_OK; });
}

void window_hosts::pump(double timeout_seconds) {
    // The wait goes to the first library with a window on screen; the others only handle what is there.
    for (const twc_window_host* table : tables_) {
        if (table->any_open(1) != TWC_OK) continue;
        error_record error;
        const twc_status status = table->pump(timeout_seconds, &error);
        if (status != TWC_OK) error.raise(status);
        timeout_seconds = 0;
    }
}

bool window_hosts::is_open(const std::string& name) const noexcept {
    return std::any_of(tables_.begin(), tables_.end(),
                       [&](const twc_window_host* t) { return t->is_open(name.c_str()) == TWC_OK; });
}

const twc_window_host& window_hosts::holder(const std::string& name) const {
    for (const twc_window_host* table : tables_) {
        if (table->is_open(name.c_str()) == TWC_OK) return *table;
    }
    throw script_error(
        platform::err::invalid_call,
        std::string(platform::describe(platform::err::invalid_call)) + ": no window '" + name + "' is open");
}

void window_hosts::click(const std::string& name, const std::string& button) const {
    error_record error;
    const twc_status status = holder(name).click(name.c_str(), button.c_str(), &error);
    if (status != TWC_OK) error.raise(status);
}

platform::string window_hosts::text(const std::string& name, const std::string& control) const {
    error_record error;
    twc_string text{};
    const twc_status status = holder(name).text(name.c_str(), control.c_str(), &text, &error);
    if (status != TWC_OK) error.raise(status);
    platform::string value =
        text.data != nullptr ? platform::string(text.data, text.length) : platform::string();
    std::free(text.data);
    return value;
}

void window_hosts::close(const std::string& name) const {
    holder(name).close(name.c_str());
}

}  // namespace twhost
