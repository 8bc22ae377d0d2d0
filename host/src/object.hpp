// A control created by the host: its reference, its event sink, and late-bound calls by name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "errors.hpp"
#include "library.hpp"
#include "tarnwick/components/component.h"
#include "tarnwick/components/variant.hpp"

namespace twhost {

// Receives one line per event: "w.State 64 TW_MADEFILE".
using event_printer = std::function<void(const std::string& line)>;

class object {
  public:
    // Takes over the one reference of control, connects a sink to its events, and keeps the library
    // loaded for as long as the object lives. name prefixes each printed event.
    object(std::shared_ptr<library> lib, const twc_class_info& info, twc_control* control, std::string name,
           event_printer print);
    object(const object&) = delete;
    object& operator=(const object&) = delete;
    ~object();

    const twc_class_info& info() const noexcept { return info_; }
    twc_control* control() const noexcept { return control_; }

    // Calls member name as flags says (TWC_INVOKE_*). Throws script_error with the control's number
    // and message when the call fails, and 438 for a name the control does not know.
    platform::component::variant call(const std::string& name, std::uint16_t flags,
                                      std::vector<twc_variant>& args);

  private:
    struct sink {
        twc_sink iface;
        object* owner;
        std::uint32_t references;
    };
    static std::uint32_t sink_add_ref(twc_sink* s) noexcept;
    static std::uint32_t sink_release(twc_sink* s) noexcept;
    static twc_status sink_invoke(twc_sink* s, twc_dispid id, twc_variant* args,
                                  std::uint32_t count) noexcept;
    static const twc_sink_vtbl sink_vtbl;

    // "w.State 64 TW_MADEFILE": the event's name, then each argument, an integer followed by the
    // library's constant of that value when there is one.
    std::string describe_event(twc_dispid id, const twc_variant* args, std::uint32_t count) const;

    std::shared_ptr<library> library_;
    const twc_class_info& info_;
    twc_control* control_;
    std::string name_;
    event_printer print_;
    sink sink_;
    std::uint32_t cookie_ = 0;
    bool advised_ = false;
};

}  // namespace twhost
