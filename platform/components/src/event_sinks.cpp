// The event side of a control object: the host's sinks, connected and disconnected by cookie, and the
// events raised to them.
#include <new>
#include <vector>

#include "tarnwick/components/control_object.hpp"
#include "tarnwick/components/events.hpp"
#include "tarnwick/components/variant.hpp"

namespace platform::component {

twc_status control_base::advise(twc_control* c, twc_sink* sink, std::uint32_t* cookie) noexcept {
    control_base& self = of(c);
    if (sink == nullptr || cookie == nullptr) return TWC_E_INVALID_ARG;
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    try {
        self.sinks_.connect({self.next_cookie_, sink});
    } catch (const std::bad_alloc&) {
        return TWC_E_OUT_OF_MEMORY;
    }
    sink->vtbl->add_ref(sink);
    *cookie = self.next_cookie_++;
    return TWC_OK;
}

twc_status control_base::unadvise(twc_control* c, std::uint32_t cookie) noexcept {
    control_base& self = of(c);
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    twc_sink* sink = nullptr;
    if (!self.sinks_.disconnect_if([&](const auto& s) {
            sink = s.second;
            return s.first == cookie;
        })) {
        return TWC_E_INVALID_ARG;
    }
    sink->vtbl->release(sink);
    return TWC_OK;
}

void control_base::fire(twc_dispid id, twc_variant* args, std::uint32_t count) noexcept {
    // Each sink held for the event, so that a handler may disconnect it, or drop the control; released
    // however the event ends.
    std::vector<twc_sink*> targets;
    try {
        const event_arguments arguments(args, count);
        targets.reserve(sinks_.all().size());
        for (const auto& [cookie, sink] : sinks_.all()) {
            sink->vtbl->add_ref(sink);
            targets.push_back(sink);
        }
        raise_to_each(targets, arguments, [&](twc_sink& sink, event_arguments& own) {
            sink.vtbl->invoke(&sink, id, own.data(), own.count());
        });
    } catch (const std::bad_alloc&) {
        // Nothing to raise the event with, or not to every sink: for them it is lost, as an event a host
        // does not listen to.
    }
    for (twc_sink* sink : targets) sink->vtbl->release(sink);
}

event_arguments::event_arguments(const twc_variant* args, std::uint32_t count)
    : values_(count), passed_(args, args + count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if ((args[i].type & TWC_VT_BYREF) && args[i].u.pi2 != nullptr) {
            values_[i] = args[i];
            values_[i].type = base_type(args[i]);
            with_type(args[i].type, [&](auto type) {
                using T = decltype(type);
                if constexpr (T::holds_value) T::value(values_[i]) = *T::pointer(args[i]);
            });
        }
    }
    point_into_values();
}

event_arguments::event_arguments(const event_arguments& other)
    : values_(other.values_), passed_(other.passed_) {
    point_into_values();
}

void event_arguments::point_into_values() {
    for (std::size_t i = 0; i < passed_.size(); ++i) {
        if ((passed_[i].type & TWC_VT_BYREF) && passed_[i].u.pi2 != nullptr)
            passed_[i] = reference_to(values_[i]);
    }
}

}  // namespace platform::component
