#include "registration.hpp"

#include <vector>

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

std::pair<reg::entry, std::string> registered_class(const std::string& prog_id) {
    const std::vector<reg::listing> registries = reg::load_all();
    if (auto found = reg::find(registries, prog_id)) return std::move(*found);
    // What can be created instead, file by file: "a, b in 'f'; c in 'g'".
    std::string known;
    std::vector<reg::entry> earlier;
    for (const reg::listing& registry : registries) {
        std::string names;
        for (const reg::entry& e : registry.entries) {
            if (!reg::hidden_by(e, earlier)) names += (names.empty() ? "" : ", ") + e.prog_id;
        }
        if (!names.empty()) known += (known.empty() ? "" : "; ") + names + " in '" + registry.file + "'";
        earlier.insert(earlier.end(), registry.entries.begin(), registry.entries.end());
    }
    throw host_error("no class '" + prog_id + "' is registered (" +
                     (known.empty() ? "none is" : "registered: " + known) +
                     "; twhost --register LIBRARY adds one)");
}

int list_classes(std::ostream& out) {
    const std::vector<reg::listing> registries = reg::load_all();
    for (std::size_t i = 0; i < registries.size(); ++i) {
        const auto& [file, entries] = registries[i];
        out << (i == 0 ? "registry '" : "system registry '") << file << "': " << entries.size()
            << (entries.size() == 1 ? " class\n" : " classes\n");
        for (const reg::entry& e : entries) {
            out << e.prog_id << ' ' << reg::format_guid(e.class_id) << ' ' << e.type_library_name << ' '
                << e.type_library_version << " \"" << e.help_string << "\" " << e.path
                << (i > 0 && reg::hidden_by(e, registries[0].entries) ? " (hidden by the user's registry)"
                                                                      : "")
                << '\n';
        }
    }
    return 0;
}

}  // namespace twhost
