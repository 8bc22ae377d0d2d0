// A control library loaded through its C entry points only.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "errors.hpp"
#include "tarnwick/components/component.h"
#include "tarnwick/windows/window_host.h"

namespace twhost {

// A loaded library, move-only. The destructor unloads it only when the library agrees
// (DllCanUnloadNow); otherwise the library stays loaded, since code of a live control would vanish.
//
// A library is loaded only when it can be trusted (platform::component::open_trusted): the file and
// every directory on the way to it belong to the user or root and nobody else may write them. The file
// is opened once, checked on that descriptor, and loaded from it ("/proc/self/fd/N"), so the file checked
// is the file loaded whatever happens to its path meanwhile. A name the loader may still know for
// another file (the loader keeps some libraries, and their names, after dlclose) is never used again
// for a different one.
class library {
  public:
    // Loads the library at path and finds its four entry points. Every failure names the path, and a
    // refusal why: "refusing the library '/opt/x/libpenmoor.so.1': the directory '/opt/x' is writable by
    // others (mode 0777), who could replace the library with their code"; "cannot load 'x.so': No such
    // file or directory"; "cannot load 'x.so': x.so: invalid ELF header" (the loader's own text).
    explicit library(const std::string& path);
    library(library&& other) noexcept;
    library& operator=(library&& other) = delete;
    library(const library&) = delete;
    library& operator=(const library&) = delete;
    ~library();

    const std::string& path() const noexcept { return path_; }

    // The description of the class clsid, or of the library's only class for nullptr. Checks the ABI
    // version and the sizes of the structs the host reads.
    const twc_class_info& class_info(const twc_guid* clsid = nullptr) const;

    // A new control of class clsid with one reference, owned by the caller.
    twc_control* create(const twc_guid& clsid) const;

    // The library's window host table (DllGetClassObject with TWC_IID_WINDOW_HOST), or nullptr for a
    // library without windows. A table too short for every function of this host's version counts as
    // none: its windows are out of reach, the library is usable otherwise.
    const twc_window_host* window_host() const noexcept;

    // The four entry points themselves.
    struct entry_table {
        twc_register_fn register_server;
        twc_register_fn unregister_server;
        twc_get_class_object_fn get_class_object;
        twc_can_unload_fn can_unload;
    };
    entry_table entry_points() const noexcept {
        return {register_, unregister_, get_class_object_, can_unload_};
    }

    twc_status register_server() const { return register_(); }
    twc_status unregister_server() const { return unregister_(); }
    // Why this thread's last register_server or unregister_server failed, as the library tells
    // (TWC_IID_REGISTRY_ERROR); empty when it succeeded or the library does not tell.
    std::string registration_error() const;
    bool can_unload() const { return can_unload_() == TWC_OK; }

    // Unloads now; refused with an error while a control, class factory or lock of it is alive.
    void unload();

  private:
    std::string path_;
    void* handle_ = nullptr;
    twc_register_fn register_ = nullptr;
    twc_register_fn unregister_ = nullptr;
    twc_get_class_object_fn get_class_object_ = nullptr;
    twc_can_unload_fn can_unload_ = nullptr;
};

// The text of a status code, for messages: "TWC_E_CLASS_NOT_AVAILABLE".
const char* status_name(twc_status status) noexcept;

}  // namespace twhost
