// Raising an event to its handlers: the one place of the rule that each handler gets its own copy of
// the event's arguments, so that what a handler writes into an argument passed by reference reaches
// neither the control that raised the event nor the next handler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tarnwick/components/component.h"

namespace platform::component {

// The sinks of a control's events, with the one rule that the component interface and the controls'
// C++ interfaces share: an event goes to the sinks connected when it starts, in the order they were
// connected (a sink connected twice, twice); a sink connected or disconnected while an event is being
// raised, by one of its handlers say, takes part from the next event on. So a handler that disconnects
// a sink later in the list does not keep it from the event being raised: that sink must outlive it.
template <class Sink>
class sink_list {
  public:
    void connect(Sink sink) { sinks_.push_back(std::move(sink)); }
    // Disconnects the first sink that matches; false when none does.
    template <class Matches>
    bool disconnect_if(Matches&& matches) {
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (matches(*it)) {
                sinks_.erase(it);
                return true;
            }
        }
        return false;
    }
    // The sinks of an event that starts now.
    std::vector<Sink> of_event() const { return sinks_; }
    const std::vector<Sink>& all() const noexcept { return sinks_; }

  private:
    std::vector<Sink> sinks_;
};

// Delivers the event to each handler, in order, each with a copy of arguments; a null handler is passed
// over.
template <class Handlers, class Arguments, class Deliver>
void raise_to_each(Handlers& handlers, const Arguments& arguments, Deliver&& deliver) {
    for (auto* handler : handlers) {
        if (handler) {
            Arguments own = arguments;
            deliver(*handler, own);
        }
    }
}

// An event of a control's event interface as a row, like the members of its dispatch interface: its
// name, dispatch id and parameters, for the type information; raised by fire() with the C++ arguments
// of the event member it stands for, each passed as its parameter says. The row is checked against
// that member when compiled.
template <auto Event>
struct event_row {
    twc_member member;

    // Raises the event to owner's sinks (owner.fire(id, arguments, count)).
    template <class Owner, class... Args>
    void fire(Owner& owner, Args&... args) const {
        static_assert(sizeof...(Args) == event_arity(Event), "an event is raised with its own arguments");
        std::array<twc_variant, sizeof...(Args) == 0 ? 1 : sizeof...(Args)> passed{};
        std::size_t i = 0;
        (void)i;
        ((passed[i++] = by_reference(args)), ...);
        owner.fire(member.id, sizeof...(Args) == 0 ? nullptr : passed.data(),
                   static_cast<std::uint32_t>(sizeof...(Args)));
    }

  private:
    template <class C, class... A>
    static constexpr std::size_t event_arity(void (C::*)(A...)) {
        return sizeof...(A);
    }
    static twc_variant by_reference(std::int16_t& value) {
        twc_variant v{};
        v.type = TWC_VT_I2 | TWC_VT_BYREF;
        v.u.pi2 = &value;
        return v;
    }
};

// The row of event member Event: name, dispatch id and parameters (as many as the member has).
template <auto Event, std::size_t N>
constexpr event_row<Event> event(const char* name, twc_dispid id, const twc_param (&params)[N]) {
    return {{sizeof(twc_member), name, id, TWC_INVOKE_METHOD, TWC_VT_EMPTY, static_cast<std::uint32_t>(N),
             params}};
}
template <auto Event>
constexpr event_row<Event> event(const char* name, twc_dispid id) {
    return {{sizeof(twc_member), name, id, TWC_INVOKE_METHOD, TWC_VT_EMPTY, 0, nullptr}};
}

// The arguments of an event of the component interface. A copy refers to values of its own: a
// by-reference argument of the copy points into the copy.
class event_arguments {
  public:
    event_arguments(const twc_variant* args, std::uint32_t count);
    event_arguments(const event_arguments& other);
    event_arguments& operator=(const event_arguments&) = delete;

    twc_variant* data() noexcept { return passed_.data(); }
    std::uint32_t count() const noexcept { return static_cast<std::uint32_t>(passed_.size()); }

  private:
    void point_into_values();

    std::vector<twc_variant> values_;  // the values behind by-reference arguments, as plain variants
    std::vector<twc_variant> passed_;  // what a handler gets
};

}  // namespace platform::component
