#include "tarnwick/components/module.hpp"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <new>
#include <string>
#include <string_view>

#include "tarnwick/components/registry.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform::component {
namespace {

std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

// Why this thread's last registration call failed, for TWC_IID_REGISTRY_ERROR; empty after a success. A
// fixed buffer: a thread-local object with a destructor would keep the library from ever being unloaded.
thread_local char registration_error[2048];

void remember_failure(std::string_view why) noexcept {
    const std::size_t n = std::min(why.size(), sizeof registration_error - 1);
    std::memcpy(registration_error, why.data(), n);
    registration_error[n] = '\0';
}

// Runs a registration, turning what it throws into a status and the text kept for the host.
template <class F>
twc_status registration(F f) noexcept {
    registration_error[0] = '\0';
    try {
        return f();
    } catch (const std::bad_alloc&) {
        remember_failure("out of memory");
        return TWC_E_OUT_OF_MEMORY;
    } catch (const std::exception& e) {
        remember_failure(e.what());
        return TWC_E_REGISTRY;
    } catch (...) {
        remember_failure("unknown failure");
        return TWC_E_REGISTRY;
    }
}

// The class factory: makes controls of the library's one class.
class factory {
  public:
    explicit factory(const server_definition& server) noexcept : iface_{&vtbl}, server_(&server) {
        object_created();
    }
    factory(const factory&) = delete;
    factory& operator=(const factory&) = delete;
    ~factory() { object_destroyed(); }

    twc_class_factory* get() noexcept { return &iface_; }

  private:
    static factory& of(twc_class_factory* f) noexcept { return *reinterpret_cast<factory*>(f); }

    static std::uint32_t add_ref(twc_class_factory* f) noexcept { return ++of(f).references_; }
    static std::uint32_t release(twc_class_factory* f) noexcept {
        factory& self = of(f);
        const std::uint32_t left = --self.references_;
        if (left == 0) delete &self;
        return left;
    }
    static twc_status create_instance(twc_class_factory* f, twc_control** out) noexcept {
        if (out == nullptr) return TWC_E_INVALID_ARG;
        *out = nullptr;
        try {
            *out = of(f).server_->create();
            return TWC_OK;
        } catch (const std::bad_alloc&) {
            return TWC_E_OUT_OF_MEMORY;
        } catch (...) {
            return TWC_E_FAIL;
        }
    }
    static twc_status lock_server(twc_class_factory*, std::int32_t lock) noexcept {
        if (lock != 0) {
            ++server_locks;
        } else if (server_locks.load() > 0) {
            --server_locks;
        } else {
            return TWC_E_INVALID_ARG;  // more unlocks than locks
        }
        return TWC_OK;
    }

    static constexpr twc_class_factory_vtbl vtbl = {sizeof(twc_class_factory_vtbl), &add_ref, &release,
                                                    &create_instance, &lock_server};

    twc_class_factory iface_;  // first member: a twc_class_factory* is this object's address
    std::atomic<std::uint32_t> references_{1};
    const server_definition* server_;
};

// The library's absolute path, from an address inside it: the link named soname beside the library
// when there is one that leads to it, else the library's own file. A library loaded from a descriptor
// ("/proc/self/fd/N", as twhost loads them) is known to the loader by that name alone, which may name
// another file by now or nothing: its path is the one the system gives for the file mapped there.
std::string library_path(const void* address, const char* soname) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    std::string file = info.dli_fname;
    if (file.starts_with("/proc/") || file.starts_with("/dev/fd/")) {
        file = platform::file_mapped_at(address);
        if (file.empty() || file.ends_with(" (deleted)")) return {};
    }
    char resolved[PATH_MAX];
    if (sys::calls().realpath(file.c_str(), resolved) == nullptr) return {};
    if (soname == nullptr || *soname == '\0') return resolved;
    const std::string link = directory_of(resolved) + "/" + soname;
    char target[PATH_MAX];
    if (sys::calls().realpath(link.c_str(), target) != nullptr && std::strcmp(target, resolved) == 0)
        return link;
    return resolved;
}

}  // namespace

void object_created() noexcept {
    ++live_objects;
}
void object_destroyed() noexcept {
    --live_objects;
}

twc_status register_server(const server_definition& server, const char* soname) noexcept {
    return registration([&] {
        const registry::entry e = registry::entry_of(*server.info, library_path(server.address, soname));
        if (e.path.empty()) {
            remember_failure("the library cannot find its own path to register");
            return TWC_E_FAIL;
        }
        registry::add(registry::location(), e);
        return TWC_OK;
    });
}

twc_status unregister_server(const server_definition& server) noexcept {
    return registration([&] {
        registry::remove(registry::location(), server.info->type_info->class_id);
        return TWC_OK;
    });
}

twc_status get_class_object(const server_definition& server, const twc_guid* clsid, const twc_guid* iid,
                            void** out) noexcept {
    if (iid == nullptr || out == nullptr) return TWC_E_INVALID_ARG;
    *out = nullptr;
    if (clsid != nullptr && !twc_guid_equal(clsid, &server.info->type_info->class_id)) {
        return TWC_E_CLASS_NOT_AVAILABLE;
    }
    // The class description and the window host belong to the library: they need no class id.
    if (twc_guid_equal(iid, &TWC_IID_CLASS_INFO)) {
        *out = const_cast<twc_class_info*>(server.info);
        return TWC_OK;
    }
    if (twc_guid_equal(iid, &TWC_IID_REGISTRY_ERROR)) {
        if (registration_error[0] == '\0') return TWC_OK;
        *out = ::strdup(registration_error);
        return *out != nullptr ? TWC_OK : TWC_E_OUT_OF_MEMORY;
    }
    if (twc_guid_equal(iid, &TWC_IID_WINDOW_HOST)) {
        if (server.windows == nullptr) return TWC_E_NO_INTERFACE;
        *out = const_cast<twc_window_host*>(server.windows);
        return TWC_OK;
    }
    if (!twc_guid_equal(iid, &TWC_IID_CLASS_FACTORY)) return TWC_E_NO_INTERFACE;
    if (clsid == nullptr) return TWC_E_INVALID_ARG;
    auto* made = new (std::nothrow) factory(server);
    if (made == nullptr) return TWC_E_OUT_OF_MEMORY;
    *out = made->get();
    return TWC_OK;
}

twc_status can_unload_now() noexcept {
    return live_objects.load() == 0 && server_locks.load() == 0 ? TWC_OK : TWC_S_FALSE;
}

}  // namespace platform::component
