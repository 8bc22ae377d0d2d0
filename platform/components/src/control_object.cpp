// A control object's life and shape: its C table, reference counting, type information, extent and
// misc status. Dispatch is in dispatch.cpp, events in event_sinks.cpp.
#include "tarnwick/components/control_object.hpp"

#include "tarnwick/components/module.hpp"

namespace platform::component {

const twc_control_vtbl control_base::vtbl = {
    sizeof(twc_control_vtbl),
    &add_ref,
    &release,
    &get_ids_of_names,
    &invoke,
    &type_info,
    &advise,
    &unadvise,
    &set_extent,
    &get_extent,
    &misc_status,
};

control_base::control_base(const twc_class_info& info)
    : handle_{{&vtbl}, this}, info_(info), owner_(std::this_thread::get_id()) {
    object_created();
}

control_base::~control_base() {
    for (const auto& [cookie, sink] : sinks_.all()) sink->vtbl->release(sink);
    object_destroyed();
}

control_base& control_base::of(twc_control* c) noexcept {
    return *reinterpret_cast<handle*>(c)->self;
}

std::uint32_t control_base::add_ref(twc_control* c) noexcept {
    return ++of(c).references_;
}

std::uint32_t control_base::release(twc_control* c) noexcept {
    control_base& self = of(c);
    const std::uint32_t left = --self.references_;
    if (left == 0) delete &self;
    return left;
}

const twc_type_info* control_base::type_info(twc_control* c) noexcept {
    return of(c).info_.type_info;
}

twc_status control_base::set_extent(twc_control* c, twc_extent requested, twc_extent* actual) noexcept {
    control_base& self = of(c);
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    try {
        self.surface().resize(requested.width, requested.height);
    } catch (...) {
        return TWC_E_FAIL;
    }
    return actual != nullptr ? get_extent(c, actual) : TWC_OK;
}

twc_status control_base::get_extent(twc_control* c, twc_extent* actual) noexcept {
    control_base& self = of(c);
    if (actual == nullptr) return TWC_E_INVALID_ARG;
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    actual->width = self.surface().Width();
    actual->height = self.surface().Height();
    return TWC_OK;
}

std::uint32_t control_base::misc_status(twc_control* c) noexcept {
    return of(c).info_.misc_status;
}

}  // namespace platform::component
