// The four entry points of a plug-in library, written once: each library's glue forwards to these with
// the description of its class.
//
// Every control, class factory and server lock of a library is counted here; DllCanUnloadNow answers
// from the count. The count is per library: the platform layer is linked into each one with hidden
// symbols.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tarnwick/components/component.h"
// The window host table of a library with windows (tarnwick/windows/window_host.h).
struct twc_window_host;

namespace platform::component {

struct server_definition {
    const twc_class_info* info;
    // Makes a new control with one reference, owned by the calling thread; throws on failure.
    twc_control* (*create)();
    // Any address inside the library, to find the library's own path.
    const void* address;
    // The library's window host table, handed out for TWC_IID_WINDOW_HOST; nullptr for a library
    // without windows.
    const twc_window_host* windows = nullptr;
};

// Registers the library's class. soname: the library's soname ("libpenmoor.so.1"); the registry then
// names the library by the link of that name beside it, which a compatible upgrade keeps pointing at the
// current file, rather than by the fully versioned file itself.
twc_status register_server(const server_definition& server, const char* soname = nullptr) noexcept;
twc_status unregister_server(const server_definition& server) noexcept;
twc_status get_class_object(const server_definition& server, const twc_guid* clsid, const twc_guid* iid,
                            void** out) noexcept;
twc_status can_unload_now() noexcept;

// Bookkeeping of live objects, called by the objects themselves.
void object_created() noexcept;
void object_destroyed() noexcept;

// The toolbox bitmap every control library carries: a 16 x 15, 24-bit .bmp file, resource 30000.
inline constexpr std::uint32_t toolbox_bitmap_id = 30000;
inline constexpr std::size_t toolbox_bitmap_size = 14 + 40 + 15 * 16 * 3;  // file and info headers, rows
extern const std::uint8_t toolbox_bitmap[toolbox_bitmap_size];

// The misc status of an invisible-at-run-time control that recomposes on resize.
inline constexpr std::uint32_t invisible_control_status =
    TWC_MISC_RECOMPOSEONRESIZE | TWC_MISC_CANTLINKINSIDE | TWC_MISC_INSIDEOUT | TWC_MISC_ACTIVATEWHENVISIBLE |
    TWC_MISC_INVISIBLEATRUNTIME | TWC_MISC_SETCLIENTSITEFIRST;
static_assert(invisible_control_status == 0x20591);

}  // namespace platform::component
