// A control class made available as a twc_control: the dispatch table, argument checks and coercion,
// the apartment rule, event sinks, extent and reference counting, shared by every plug-in.
//
// A plug-in describes its class as data (twc_class_info with its type information) and its members as a
// table (member_table.hpp) whose calls receive the arguments already counted and coerced to the
// parameter types and only call the control.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "tarnwick/components/arguments.hpp"
#include "tarnwick/components/component.h"
#include "tarnwick/components/events.hpp"
#include "tarnwick/components/member_table.hpp"
#include "tarnwick/components/user_control.hpp"
#include "tarnwick/components/variant.hpp"
#include "tarnwick/files/types.hpp"

namespace platform::component {

// Base of every control object: everything that does not depend on the control class.
class control_base {
  public:
    explicit control_base(const twc_class_info& info);
    control_base(const control_base&) = delete;
    control_base& operator=(const control_base&) = delete;
    virtual ~control_base();

    // The C view of this object. The object owns one reference when it is made.
    twc_control* as_control() noexcept { return &handle_.iface; }

    // Calls every connected sink with an event of the event interface, as sink_list says: in connection
    // order, and a sink connected or disconnected by a handler takes part from the next event on.
    void fire(twc_dispid id, twc_variant* args, std::uint32_t count) noexcept;

  protected:
    virtual void call(std::size_t member, const arguments& args, twc_variant& result) = 0;
    virtual user_control& surface() noexcept = 0;

  private:
    struct handle {
        twc_control iface;
        control_base* self;
    };
    static control_base& of(twc_control* c) noexcept;

    static std::uint32_t add_ref(twc_control* c) noexcept;
    static std::uint32_t release(twc_control* c) noexcept;
    static twc_status get_ids_of_names(twc_control* c, const char* name, twc_dispid* id) noexcept;
    static twc_status invoke(twc_control* c, twc_dispid id, std::uint16_t flags, twc_variant* args,
                             std::uint32_t count, twc_variant* result, twc_error* error) noexcept;
    static const twc_type_info* type_info(twc_control* c) noexcept;
    static twc_status advise(twc_control* c, twc_sink* sink, std::uint32_t* cookie) noexcept;
    static twc_status unadvise(twc_control* c, std::uint32_t cookie) noexcept;
    static twc_status set_extent(twc_control* c, twc_extent requested, twc_extent* actual) noexcept;
    static twc_status get_extent(twc_control* c, twc_extent* actual) noexcept;
    static std::uint32_t misc_status(twc_control* c) noexcept;
    static const twc_control_vtbl vtbl;

    bool on_owner_thread() const noexcept { return std::this_thread::get_id() == owner_; }
    twc_status dispatch(twc_dispid id, std::uint16_t flags, twc_variant* args, std::uint32_t count,
                        twc_variant* result, twc_error* error) noexcept;

    handle handle_;
    const twc_class_info& info_;
    std::atomic<std::uint32_t> references_{1};
    std::thread::id owner_;
    sink_list<std::pair<std::uint32_t, twc_sink*>> sinks_;  // by cookie
    std::uint32_t next_cookie_ = 1;
};

// Control must be constructible from control_base& (to raise events through it) and give its
// user_control through surface(); calls[i] calls the member described by the dispatch interface's
// member i.
template <class Control>
class control_object final : public control_base {
  public:
    control_object(const twc_class_info& info, std::span<const member_call<Control>> calls)
        : control_base(info), control_(static_cast<control_base&>(*this)), calls_(calls) {}

  protected:
    void call(std::size_t member, const arguments& args, twc_variant& result) override {
        calls_[member](control_, args, result);
    }
    user_control& surface() noexcept override { return control_.surface(); }

  private:
    Control control_;
    std::span<const member_call<Control>> calls_;
};

}  // namespace platform::component
