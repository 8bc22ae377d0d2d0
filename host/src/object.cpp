#include "object.hpp"

#include <cstdlib>
#include <utility>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twhost {

const twc_sink_vtbl object::sink_vtbl = {sizeof(twc_sink_vtbl), &sink_add_ref, &sink_release, &sink_invoke};

object::object(std::shared_ptr<library> lib, const twc_class_info& info, twc_control* control,
               std::string name, event_printer print)
    : library_(std::move(lib)),
      info_(info),
      control_(control),
      name_(std::move(name)),
      print_(std::move(print)),
      sink_{{&sink_vtbl}, this, 0} {
    // A class without events takes the sink too; it simply never calls it.
    advised_ = control_->vtbl->advise(control_, &sink_.iface, &cookie_) == TWC_OK;
}

object::~object() {
    if (advised_) control_->vtbl->unadvise(control_, cookie_);
    control_->vtbl->release(control_);
}

std::uint32_t object::sink_add_ref(twc_sink* s) noexcept {
    return ++reinterpret_cast<sink*>(s)->references;
}

std::uint32_t object::sink_release(twc_sink* s) noexcept {
    // The sink lives inside its object, which outlives every reference the control holds.
    return --reinterpret_cast<sink*>(s)->references;
}

twc_status object::sink_invoke(twc_sink* s, twc_dispid id, twc_variant* args, std::uint32_t count) noexcept {
    object& self = *reinterpret_cast<sink*>(s)->owner;
    try {
        self.print_(self.describe_event(id, args, count));
        return TWC_OK;
    } catch (...) {
        return TWC_E_FAIL;
    }
}

std::string object::describe_event(twc_dispid id, const twc_variant* args, std::uint32_t count) const {
    const twc_interface& events = *info_.type_info->events;
    std::string line = name_ + ".";
    const twc_member* event = nullptr;
    for (std::uint32_t i = 0; i < events.member_count; ++i) {
        if (events.members[i].id == id) event = &events.members[i];
    }
    line += event != nullptr ? event->name : "event " + std::to_string(id);
    for (std::uint32_t i = 0; i < count; ++i) {
        line += ' ';
        line += platform::to_utf8(platform::component::display(args[i]));
        const std::uint16_t type = platform::component::base_type(args[i]);
        if (type != TWC_VT_I2 && type != TWC_VT_I4) continue;
        const std::int32_t value = platform::component::to_i4(args[i]);
        for (std::uint32_t c = 0; c < info_.type_info->constant_count; ++c) {
            if (info_.type_info->constants[c].value == value) {
                line += ' ';
                line += info_.type_info->constants[c].name;
                break;
            }
        }
    }
    return line;
}

platform::component::variant object::call(const std::string& name, std::uint16_t flags,
                                          std::vector<twc_variant>& args) {
    twc_dispid id = 0;
    const twc_status found = control_->vtbl->get_ids_of_names(control_, name.c_str(), &id);
    if (found == TWC_E_UNKNOWN_NAME) {
        throw script_error(platform::err::no_member,
                           std::string(platform::describe(platform::err::no_member)) + ": '" + name + "'");
    }
    if (found != TWC_OK) {
        throw script_error(platform::err::automation,
                           "Automation error: cannot look up '" + name + "' (" + status_name(found) + ")");
    }
    twc_error error{};
    error.size = sizeof error;
    twc_variant result = platform::component::make_empty();
    const twc_status status = control_->vtbl->invoke(
        control_, id, flags, args.data(), static_cast<std::uint32_t>(args.size()), &result, &error);
    if (status != TWC_OK) {
        std::string message = error.message != nullptr ? error.message : status_name(status);
        const int number = error.number != 0 ? error.number : platform::err::automation;
        twc_error_clear(&error);
        throw script_error(number, message);
    }
    return platform::component::variant(result);
}

}  // namespace twhost
