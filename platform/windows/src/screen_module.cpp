// The on-screen backend of a library built with FLTK: the module libtarnwick-fltk.so, loaded from an
// absolute path the first time a window is to go on screen. Until then, and wherever no display is asked
// for, the process loads no GUI toolkit.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/version.h"
#include "tarnwick/windows/window.hpp"
#include "tarnwick/windows/window_screen.hpp"

namespace platform::screen {
namespace {

constexpr model_calls model = {
    [](const window& w) -> const window_layout& { return w.layout(); },
    [](window& w, std::string_view button) { w.click(button); },
    [](window& w) { w.close(); },
};

std::mutex loading;
std::string chosen_path;                          // a test's choice; else module_path()
std::atomic<const table*> loaded_calls{nullptr};  // the module's table, once loaded

// The file this code runs from: the library that holds the window toolkit, or the program itself,
// whose name the loader gives as the argv[0] it was started with, not always a path.
std::string own_file() {
    Dl_info info{};
    char resolved[PATH_MAX];
    if (::dladdr(reinterpret_cast<const void*>(&own_file), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] == '/') {
        // A library loaded from a descriptor is known to the loader by "/proc/self/fd/N" alone.
        const std::string name = info.dli_fname;
        const std::string file = name.starts_with("/proc/")
                                     ? platform::file_mapped_at(reinterpret_cast<const void*>(&own_file))
                                     : name;
        if (!file.empty() && ::realpath(file.c_str(), resolved) != nullptr) return resolved;
    }
    if (::realpath("/proc/self/exe", resolved) != nullptr) return resolved;
    return {};
}

// The loader's reason, without the path it starts with when it names the file.
std::string loader_reason(const std::string& path) {
    const char* error = ::dlerror();
    std::string reason = error != nullptr ? error : "unknown error";
    if (reason.starts_with(path + ": ")) reason.erase(0, path.size() + 2);
    return reason;
}

[[noreturn]] void cannot_load(const std::string& path, const std::string& reason) {
    throw runtime_error(err::library_load,
                        "cannot load the on-screen windows' module '" + path + "': " + reason);
}

// The module's table, loaded on the first call. The handle is kept for the life of the process: the
// module's windows and thread-local state may outlive any object here.
const table& module() {
    if (const table* calls = loaded_calls.load()) return *calls;
    const std::lock_guard lock(loading);
    if (const table* calls = loaded_calls.load()) return *calls;
    const std::string path = chosen_path.empty() ? module_path() : chosen_path;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) cannot_load(path, loader_reason(path));
    const auto entry = reinterpret_cast<module_entry>(::dlsym(handle, module_entry_name));
    if (entry == nullptr) {
        const std::string reason = loader_reason(path);
        ::dlclose(handle);
        cannot_load(path, reason);
    }
    const table* calls = entry(TARNWICK_VERSION_STRING, &model);
    if (calls == nullptr) {
        ::dlclose(handle);
        cannot_load(path, "it was built from another version than " TARNWICK_VERSION_STRING);
    }
    loaded_calls.store(calls);
    return *calls;
}

bool claim() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    return module().claim();
}

std::unique_ptr<peer> make(window& model_window) {
    return module().make(model_window);
}

// Nothing is on screen before the module is loaded.
void pump(double timeout_seconds) {
    if (const table* calls = loaded_calls.load()) calls->pump(timeout_seconds);
}

constexpr table real_calls = {claim, make, pump};

}  // namespace

const table& real() noexcept {
    return real_calls;
}

std::string module_path() {
    const std::string file = own_file();
    if (file.starts_with(TARNWICK_BUILD_TREE "/")) return TARNWICK_SCREEN_MODULE_BUILT;
    return TARNWICK_SCREEN_MODULE_INSTALLED;
}

bool use_module(std::string path) {
    const std::lock_guard lock(loading);
    if (loaded_calls.load() != nullptr) return false;
    chosen_path = std::move(path);
    return true;
}

}  // namespace platform::screen
