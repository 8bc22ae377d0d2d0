// Raising an event to its handlers: the one place of the rule that each handler gets its own copy of
// the event's arguments, so that what a handler writes into an argument passed by reference reaches
// neither the control that raised the event nor the next handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tarnwick/components/component.h"

namespace platform::component {

// Delivers the event to the handlers there are when it starts, in order, each with a copy of
// arguments; a null handler (one disconnected while the event is being raised) is passed over. handlers
// is read by index at each step, so a handler may connect others meanwhile: they take part from the next
// event on.
template <class Handlers, class Arguments, class Deliver>
void raise_to_each(Handlers& handlers, const Arguments& arguments, Deliver&& deliver) {
    const std::size_t count = handlers.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (auto* handler = handlers[i]) {
            Arguments own = arguments;
            deliver(*handler, own);
        }
    }
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
