// The C table of tarnwick/windows/window_host.h over the C++ window interface.
#include "tarnwick/windows/window_host.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "tarnwick/components/error_report.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/windows/window.hpp"

namespace platform {
namespace {

twc_status report(int number, const char* message, twc_error* e) noexcept {
    return component::report_error(e, TWC_E_EXCEPTION, number, message);
}

// Runs call and turns what it throws into a status and error.
template <class Call>
twc_status guarded(twc_error* error, Call call) noexcept {
    try {
        call();
        return TWC_OK;
    } catch (const runtime_error& e) {
        return report(e.number(), e.what(), error);
    } catch (const std::bad_alloc&) {
        return report(err::out_of_memory, describe(err::out_of_memory).data(), error);
    } catch (const std::exception& e) {
        return report(err::invalid_call, e.what(), error);
    } catch (...) {
        return report(err::invalid_call, describe(err::invalid_call).data(), error);
    }
}

// The calling thread's window of that name; error 5 when it has none.
window& named(const char* name) {
    window* w = name != nullptr ? find_window(name) : nullptr;
    if (w == nullptr) {
        throw runtime_error(err::invalid_call,
                            "no window '" + std::string(name ? name : "") + "' on this thread");
    }
    return *w;
}

constexpr twc_window_host table = {
    sizeof(twc_window_host),
    [](std::int32_t backend) {
        use_window_backend(backend == TWC_WINDOW_BACKEND_HEADLESS ? window_backend::headless
                                                                  : window_backend::automatic);
    },
    [](double timeout_seconds, twc_error* error) {
        return guarded(error, [&] { pump_windows(timeout_seconds); });
    },
    [](std::int32_t on_screen_only) {
        return (on_screen_only != 0 ? any_window_on_screen() : any_window_open()) ? TWC_OK : TWC_S_FALSE;
    },
    [](const char* name) {
        const window* w = name != nullptr ? find_window(name) : nullptr;
        return w != nullptr && w->is_open() ? TWC_OK : TWC_S_FALSE;
    },
    [](const char* name, const char* button, twc_error* error) {
        return guarded(error, [&] { named(name).click(button != nullptr ? button : ""); });
    },
    [](const char* name, const char* control, twc_string* text, twc_error* error) {
        if (text == nullptr) return TWC_E_INVALID_ARG;
        *text = {};
        return guarded(error, [&] {
            const string value = named(name).text(control != nullptr ? control : "");
            if (value.empty()) return;
            text->data = static_cast<twc_char*>(std::malloc(value.size() * sizeof(twc_char)));
            if (text->data == nullptr) throw std::bad_alloc();
            std::memcpy(text->data, value.data(), value.size() * sizeof(twc_char));
            text->length = static_cast<std::uint32_t>(value.size());
        });
    },
    [](const char* name) {
        window* w = name != nullptr ? find_window(name) : nullptr;
        if (w == nullptr || !w->is_open()) return TWC_S_FALSE;
        w->close();
        return TWC_OK;
    },
};

}  // namespace

const twc_window_host* window_host() noexcept {
    return &table;
}

}  // namespace platform
