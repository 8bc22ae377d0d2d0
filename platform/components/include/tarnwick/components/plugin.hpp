// A plug-in library, written once: each library instantiates these with its member table and its class
// description, and defines this_library(); the four entry points (plugin_entry.cpp, compiled into each
// plug-in) serve the class it names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tarnwick/components/component.h"
#include "tarnwick/components/control_object.hpp"
#include "tarnwick/components/module.hpp"

namespace platform::component {

// An interface of the type information over members in slot order (none for an interface without).
template <std::size_t N>
constexpr twc_interface interface_of(const char* name, twc_guid iid, std::uint32_t flags,
                                     const std::array<twc_member, N>& members) {
    return {sizeof(twc_interface), name, iid, flags, N, N ? members.data() : nullptr};
}

// The version record of a library: version 1.00, and its own name as product, internal and file name.
constexpr twc_version_record version_of(const char* library) {
    return {sizeof(twc_version_record), "1.00", "1.00", library, library, library};
}

// The class description of a control that is invisible at run time, lives in the apartment of the thread
// that creates it, and carries the platform's toolbox bitmap.
constexpr twc_class_info class_info_of(const char* prog_id, twc_extent design_size, const twc_face& face,
                                       const twc_type_info& type_info, const twc_version_record& version) {
    return {sizeof(twc_class_info),
            TWC_ABI_VERSION,
            prog_id,
            "Apartment",
            invisible_control_status,
            design_size,
            &face,
            &type_info,
            &version,
            toolbox_bitmap_id,
            toolbox_bitmap,
            toolbox_bitmap_size};
}

// The class factory's work: a new control of class Info behind the plug-in's object Bridge, whose
// members are Table's calls.
template <class Bridge, const auto& Table, const twc_class_info& Info>
twc_control* make_control() {
    return (new control_object<Bridge>(Info, Table.calls))->as_control();
}

// The library's one class, made by make_control; windows: its window host table, if it has windows.
template <class Bridge, const auto& Table, const twc_class_info& Info>
server_definition server_of(const twc_window_host* windows = nullptr) {
    auto* const create = &make_control<Bridge, Table, Info>;
    return {&Info, create, reinterpret_cast<const void*>(create), windows};
}

// Defined by each plug-in library: the class its entry points serve.
const server_definition& this_library() noexcept;

}  // namespace platform::component
