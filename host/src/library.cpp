#include "library.hpp"

#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "tarnwick/components/registry.hpp"
#include "tarnwick/components/trusted_file.hpp"

namespace twhost {
namespace {

struct file_id {
    dev_t device;
    ino_t inode;
    bool operator==(const file_id&) const = default;
};

// The names this process has given the loader ("/proc/self/fd/N", by N) and the file each was given
// for. The loader keeps a library it cannot unload after dlclose (one with unique symbols, as C++
// libraries often have), and with it every name it was ever opened by: were that number's name given
// for another file, the loader would hand back the library it already has.
std::mutex names_lock;
std::map<int, file_id> names_given;

// The name under which the loader is to open the file open at f, of identity id: that of f's number,
// or, when the loader may know that name for another file, of a copy of f at a higher number, which
// then takes f's place. Empty, with errno set, when no copy can be made.
std::string loader_name(platform::file& f, file_id id) {
    const std::lock_guard lock(names_lock);
    for (auto given = names_given.find(f.fd()); given != names_given.end() && given->second != id;
         given = names_given.find(f.fd())) {
        const int higher = ::fcntl(f.fd(), F_DUPFD_CLOEXEC, f.fd() + 1);
        if (higher < 0) return {};
        f = platform::file(higher, f.path());
    }
    names_given[f.fd()] = id;
    return "/proc/self/fd/" + std::to_string(f.fd());
}

// The loader's last error, naming the library by path rather than by the name it was opened by.
std::string loader_error(const std::string& name, const std::string& path) {
    const char* text = ::dlerror();
    std::string said = text != nullptr ? text : "unknown loader error";
    for (std::size_t at = said.find(name); at != std::string::npos; at = said.find(name, at + path.size())) {
        said.replace(at, name.size(), path);
    }
    return said;
}

}  // namespace

const char* status_name(twc_status status) noexcept {
    switch (status) {
        case TWC_OK:
            return "TWC_OK";
        case TWC_S_FALSE:
            return "TWC_S_FALSE";
        case TWC_E_FAIL:
            return "TWC_E_FAIL";
        case TWC_E_OUT_OF_MEMORY:
            return "TWC_E_OUT_OF_MEMORY";
        case TWC_E_INVALID_ARG:
            return "TWC_E_INVALID_ARG";
        case TWC_E_NO_INTERFACE:
            return "TWC_E_NO_INTERFACE";
        case TWC_E_CLASS_NOT_AVAILABLE:
            return "TWC_E_CLASS_NOT_AVAILABLE";
        case TWC_E_UNKNOWN_NAME:
            return "TWC_E_UNKNOWN_NAME";
        case TWC_E_MEMBER_NOT_FOUND:
            return "TWC_E_MEMBER_NOT_FOUND";
        case TWC_E_BAD_PARAM_COUNT:
            return "TWC_E_BAD_PARAM_COUNT";
        case TWC_E_TYPE_MISMATCH:
            return "TWC_E_TYPE_MISMATCH";
        case TWC_E_OVERFLOW:
            return "TWC_E_OVERFLOW";
        case TWC_E_EXCEPTION:
            return "TWC_E_EXCEPTION";
        case TWC_E_WRONG_THREAD:
            return "TWC_E_WRONG_THREAD";
        case TWC_E_REGISTRY:
            return "TWC_E_REGISTRY";
        default:
            return "unknown status";
    }
}

library::library(const std::string& path) : path_(path) {
    // A plug-in is named by its file: a name without a slash is one in the working directory, never one
    // searched for on the library path.
    platform::component::trusted_file file;
    try {
        file = platform::component::open_trusted(path, "who could replace the library with their code");
    } catch (const platform::component::trust_error& e) {
        throw host_error((e.refused() ? "refusing the library '" : "cannot load '") + path +
                         "': " + e.what());
    }
    const std::string name = loader_name(file.handle, {file.status.st_dev, file.status.st_ino});
    if (name.empty()) throw host_error("cannot load '" + path + "': " + std::strerror(errno));
    handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw host_error("cannot load '" + path + "': " + loader_error(name, path));
    auto entry_point = [&]<class Fn>(Fn& out, const char* symbol) {
        ::dlerror();
        out = reinterpret_cast<Fn>(::dlsym(handle_, symbol));
        if (out == nullptr) {
            throw host_error("'" + path + "' is not a control library: it does not export " + symbol + " (" +
                             loader_error(name, path) + ")");
        }
    };
    try {
        entry_point(register_, "DllRegisterServer");
        entry_point(unregister_, "DllUnregisterServer");
        entry_point(get_class_object_, "DllGetClassObject");
        entry_point(can_unload_, "DllCanUnloadNow");
    } catch (...) {
        ::dlclose(handle_);
        throw;
    }
}

library::library(library&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, nullptr)),
      register_(other.register_),
      unregister_(other.unregister_),
      get_class_object_(other.get_class_object_),
      can_unload_(other.can_unload_) {}

library::~library() {
    if (handle_ != nullptr && can_unload()) ::dlclose(handle_);
}

void library::unload() {
    if (handle_ == nullptr) return;
    if (!can_unload()) {
        throw host_error("cannot unload '" + path_ + "': a control or lock of it is still alive");
    }
    ::dlclose(std::exchange(handle_, nullptr));
}

const twc_class_info& library::class_info(const twc_guid* clsid) const {
    void* out = nullptr;
    const twc_status status = get_class_object_(clsid, &TWC_IID_CLASS_INFO, &out);
    if (status != TWC_OK || out == nullptr) {
        throw host_error("'" + path_ + "' gives no class description" +
                         (clsid != nullptr ? " of " + platform::registry::format_guid(*clsid) : "") + " (" +
                         status_name(status) + ")");
    }
    const auto& info = *static_cast<const twc_class_info*>(out);
    if (info.size < offsetof(twc_class_info, toolbox_bitmap_size) + sizeof info.toolbox_bitmap_size ||
        info.abi_version != TWC_ABI_VERSION) {
        throw host_error("'" + path_ + "' was built for component interface version " +
                         std::to_string(info.abi_version) + "; this host speaks version " +
                         std::to_string(TWC_ABI_VERSION));
    }
    if (info.type_info == nullptr || info.type_info->dispatch == nullptr ||
        info.type_info->events == nullptr || info.face == nullptr || info.version == nullptr) {
        throw host_error("'" + path_ + "' gives an incomplete class description");
    }
    return info;
}

twc_control* library::create(const twc_guid& clsid) const {
    void* out = nullptr;
    twc_status status = get_class_object_(&clsid, &TWC_IID_CLASS_FACTORY, &out);
    if (status != TWC_OK || out == nullptr) {
        throw host_error("'" + path_ + "' has no class factory for " +
                         platform::registry::format_guid(clsid) + " (" + status_name(status) + ")");
    }
    auto* factory = static_cast<twc_class_factory*>(out);
    twc_control* control = nullptr;
    status = factory->vtbl->create_instance(factory, &control);
    factory->vtbl->release(factory);
    if (status != TWC_OK || control == nullptr) {
        throw host_error("'" + path_ + "' could not create a control (" + std::string(status_name(status)) +
                         ")");
    }
    return control;
}

std::string library::registration_error() const {
    void* out = nullptr;
    if (get_class_object_(nullptr, &TWC_IID_REGISTRY_ERROR, &out) != TWC_OK || out == nullptr) return {};
    std::string text(static_cast<const char*>(out));
    std::free(out);
    return text;
}

const twc_window_host* library::window_host() const noexcept {
    void* out = nullptr;
    if (get_class_object_(nullptr, &TWC_IID_WINDOW_HOST, &out) != TWC_OK || out == nullptr) return nullptr;
    const auto* table = static_cast<const twc_window_host*>(out);
    return table->size >= offsetof(twc_window_host, close) + sizeof table->close ? table : nullptr;
}

}  // namespace twhost
