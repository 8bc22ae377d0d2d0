#include "registration.hpp"

#include "errors.hpp"
#include "library.hpp"
#include "tarnwick/components/registry.hpp"

namespace twhost {
namespace {

namespace reg = platform::registry;

}  // namespace

int register_library(const std::string& path, bool unregister, std::ostream& out) {
    const char* entry_point = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const std::string file = reg::location();
    // The registry is read here first: a malformed or untrusted one is reported in full, and no library
    // is loaded for nothing.
    try {
        reg::load(file);
    } catch (const reg::error& e) {
        throw host_error(std::string(unregister ? "cannot unregister '" : "cannot register '") + path +
                         "': " + e.what());
    }
    library lib(path);
    const twc_class_info& info = lib.class_info();
    const twc_status status = unregister ? lib.unregister_server() : lib.register_server();
    if (status != TWC_OK) {
        const std::string why = lib.registration_error();
        throw host_error(std::string(entry_point) + " of '" + path + "' failed (" + status_name(status) +
                         ")" + (why.empty() ? " with registry '" + file + "'" : ": " + why));
    }
    out << (unregister ? "unregistered " : "registered ") << info.prog_id << ' '
        << reg::format_guid(info.type_info->class_id) << (unregister ? " from '" : " in '") << file << "'\n";
    return 0;
}

int list_classes(std::ostream& out) {
    const std::string file = reg::location();
    const auto entries = reg::load(file);
    out << "registry '" << file << "': " << entries.size()
        << (entries.size() == 1 ? " class\n" : " classes\n");
    for (const reg::entry& e : entries) {
        out << e.prog_id << ' ' << reg::format_guid(e.class_id) << ' ' << e.type_library_name << ' '
            << e.type_library_version << " \"" << e.help_string << "\" " << e.path << '\n';
    }
    return 0;
}

}  // namespace twhost
