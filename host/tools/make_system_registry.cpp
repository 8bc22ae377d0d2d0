// Writes the system's registry an install ships: the class of each control library given, as the built
// library describes it, under the path the install gives that library. Run by the build, never
// installed.
//
// usage: make_system_registry OUTPUT (BUILT_LIBRARY INSTALLED_PATH)...
#include <dlfcn.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tarnwick/components/component.h"
#include "tarnwick/components/registry.hpp"

namespace reg = platform::registry;

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::cerr << "usage: make_system_registry OUTPUT (BUILT_LIBRARY INSTALLED_PATH)...\n";
        return 2;
    }
    std::vector<reg::entry> entries;
    for (int i = 2; i < argc; i += 2) {
        void* library = ::dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
        const auto get_class_object =
            library != nullptr
                ? reinterpret_cast<twc_get_class_object_fn>(::dlsym(library, "DllGetClassObject"))
                : nullptr;
        void* info = nullptr;
        if (get_class_object == nullptr || get_class_object(nullptr, &TWC_IID_CLASS_INFO, &info) != TWC_OK ||
            info == nullptr) {
            std::cerr << "make_system_registry: '" << argv[i] << "' gives no class description\n";
            return 1;
        }
        entries.push_back(reg::entry_of(*static_cast<const twc_class_info*>(info), argv[i + 1]));
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << reg::serialise(entries,
                          "Control classes installed with the system. Read after each user's "
                          "registry, which wins; never written.");
    out.close();
    if (!out) {
        std::cerr << "make_system_registry: cannot write '" << argv[1] << "'\n";
        return 1;
    }
    return 0;
}
