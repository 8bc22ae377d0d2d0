#include "library.hpp"

#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "tarnwick/components/registry.hpp"

namespace twhost {
namespace {

std::string loader_error() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown loader error";
}

template <class Fn>
Fn entry_point(void* handle, const char* name, const std::string& path) {
    ::dlerror();
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        throw host_error("'" + path + "' is not a control library: it does not export " + name + " (" +
                         loader_error() + ")");
    }
    return reinterpret_cast<Fn>(symbol);
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
    // A name without a slash would be searched for on the library path; a plug-in is named by its file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw host_error("cannot load '" + path + "': " + loader_error());
    try {
        register_ = entry_point<twc_register_fn>(handle_, "DllRegisterServer", path_);
        unregister_ = entry_point<twc_register_fn>(handle_, "DllUnregisterServer", path_);
        get_class_object_ = entry_point<twc_get_class_object_fn>(handle_, "DllGetClassObject", path_);
        can_unload_ = entry_point<twc_can_unload_fn>(handle_, "DllCanUnloadNow", path_);
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
