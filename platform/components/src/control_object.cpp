#include "tarnwick/components/control_object.hpp"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "tarnwick/components/module.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace platform::component {
namespace {

// A failed call: its status, run-time error number, message and the argument it concerns.
struct failure {
    twc_status status;
    int number;
    std::string message;
    std::uint32_t argument = UINT32_MAX;
};

twc_status report(const failure& f, twc_error* e) noexcept {
    if (e == nullptr) return f.status;
    if (e->size >= offsetof(twc_error, number) + sizeof e->number) e->number = f.number;
    if (e->size >= offsetof(twc_error, message) + sizeof e->message) {
        e->message = static_cast<char*>(std::malloc(f.message.size() + 1));
        if (e->message != nullptr) std::memcpy(e->message, f.message.c_str(), f.message.size() + 1);
    }
    if (e->size >= offsetof(twc_error, argument) + sizeof e->argument) e->argument = f.argument;
    return f.status;
}

std::string hex(twc_dispid id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

bool same_name(const char* a, const char* b) noexcept {
    for (; *a && *b; ++a, ++b) {
        const unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) return false;
    }
    return *a == *b;
}

// The argument a coercion failed on.
struct argument_error {
    std::uint32_t index;
    runtime_error error;
};

}  // namespace

arguments::arguments(const twc_member& member, const twc_variant* args, std::uint32_t count) {
    values_.reserve(count);
    texts_.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        try {
            const std::uint16_t type = member.params[i].type & ~TWC_VT_BYREF;
            values_.push_back(coerce(args[i], type));
            if (type == TWC_VT_STRING) texts_[i] = to_string(values_.back());
        } catch (const runtime_error& e) {
            // The destructor does not run for a constructor that throws.
            for (twc_variant& v : values_) twc_variant_clear(&v);
            throw argument_error{i, e};
        }
    }
}

arguments::~arguments() {
    for (twc_variant& v : values_) twc_variant_clear(&v);
}

const twc_variant& arguments::at(std::size_t i, std::uint16_t type) const {
    if (i >= values_.size() || values_[i].type != type) std::abort();
    return values_[i];
}

const string& arguments::text(std::size_t i) const {
    at(i, TWC_VT_STRING);
    return texts_[i];
}
std::int16_t arguments::i2(std::size_t i) const {
    return at(i, TWC_VT_I2).u.i2;
}
std::int32_t arguments::i4(std::size_t i) const {
    return at(i, TWC_VT_I4).u.i4;
}
boolean arguments::flag(std::size_t i) const {
    return at(i, TWC_VT_BOOL).u.boolean;
}

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
    for (auto& [cookie, sink] : sinks_) sink->vtbl->release(sink);
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

twc_status control_base::get_ids_of_names(twc_control* c, const char* name, twc_dispid* id) noexcept {
    control_base& self = of(c);
    if (name == nullptr || id == nullptr) return TWC_E_INVALID_ARG;
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    const twc_interface& dispatch = *self.info_.type_info->dispatch;
    for (std::uint32_t i = 0; i < dispatch.member_count; ++i) {
        if (same_name(dispatch.members[i].name, name)) {
            *id = dispatch.members[i].id;
            return TWC_OK;
        }
    }
    return TWC_E_UNKNOWN_NAME;
}

twc_status control_base::invoke(twc_control* c, twc_dispid id, std::uint16_t flags, twc_variant* args,
                                std::uint32_t count, twc_variant* result, twc_error* error) noexcept {
    control_base& self = of(c);
    if (!self.on_owner_thread()) {
        return report({TWC_E_WRONG_THREAD, err::automation,
                       "Automation error: the control was called on another thread than the one that "
                       "created it; nothing was run"},
                      error);
    }
    if (count > 0 && args == nullptr)
        return report({TWC_E_INVALID_ARG, err::invalid_call, "no arguments"}, error);
    // The call keeps the object alive even when a handler of one of its events drops the last reference.
    add_ref(c);
    const twc_status status = self.dispatch(id, flags, args, count, result, error);
    release(c);
    return status;
}

twc_status control_base::dispatch(twc_dispid id, std::uint16_t flags, twc_variant* args, std::uint32_t count,
                                  twc_variant* result, twc_error* error) noexcept {
    const twc_interface& table = *info_.type_info->dispatch;
    const twc_member* member = nullptr;
    std::size_t index = 0;
    bool known = false;
    for (std::uint32_t i = 0; i < table.member_count && member == nullptr; ++i) {
        if (table.members[i].id != id) continue;
        known = true;
        if (table.members[i].kind & flags) {
            member = &table.members[i];
            index = i;
        }
    }
    if (member == nullptr) {
        if (!known) {
            return report({TWC_E_MEMBER_NOT_FOUND, err::no_member,
                           std::string(describe(err::no_member)) + ": no member has dispatch id " + hex(id)},
                          error);
        }
        const char* name = nullptr;
        for (std::uint32_t i = 0; i < table.member_count; ++i) {
            if (table.members[i].id == id) name = table.members[i].name;
        }
        const char* how = (flags & TWC_INVOKE_PROPERTYPUT) ? "assigned"
                          : (flags & TWC_INVOKE_METHOD)    ? "called as a method"
                                                           : "read as a property";
        return report({TWC_E_MEMBER_NOT_FOUND, err::wrong_arguments,
                       std::string(describe(err::wrong_arguments)) + ": " + name + " cannot be " + how},
                      error);
    }
    if (count != member->param_count) {
        return report({TWC_E_BAD_PARAM_COUNT, err::wrong_arguments,
                       std::string(describe(err::wrong_arguments)) + ": " + member->name + " takes " +
                           std::to_string(member->param_count) + " argument" +
                           (member->param_count == 1 ? "" : "s") + ", not " + std::to_string(count)},
                      error);
    }
    try {
        const arguments coerced(*member, args, count);
        variant out;
        call(index, coerced, out.get());
        if (result != nullptr) *result = out.release();
        return TWC_OK;
    } catch (const argument_error& e) {
        const bool overflowed = e.error.number() == err::overflow;
        return report({overflowed ? TWC_E_OVERFLOW : TWC_E_TYPE_MISMATCH, e.error.number(),
                       std::string(e.error.what()) + " (argument " + std::to_string(e.index + 1) + ", " +
                           member->params[e.index].name + ", of " + member->name + ")",
                       e.index},
                      error);
    } catch (const runtime_error& e) {
        return report({TWC_E_EXCEPTION, e.number(), e.what()}, error);
    } catch (const std::bad_alloc&) {
        return report({TWC_E_OUT_OF_MEMORY, err::out_of_memory, std::string(describe(err::out_of_memory))},
                      error);
    } catch (const std::exception& e) {
        return report({TWC_E_EXCEPTION, err::automation, std::string("Automation error: ") + e.what()},
                      error);
    } catch (...) {
        return report({TWC_E_FAIL, err::automation, "Automation error: unknown failure"}, error);
    }
}

const twc_type_info* control_base::type_info(twc_control* c) noexcept {
    return of(c).info_.type_info;
}

twc_status control_base::advise(twc_control* c, twc_sink* sink, std::uint32_t* cookie) noexcept {
    control_base& self = of(c);
    if (sink == nullptr || cookie == nullptr) return TWC_E_INVALID_ARG;
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    try {
        self.sinks_.emplace_back(self.next_cookie_, sink);
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
    for (auto it = self.sinks_.begin(); it != self.sinks_.end(); ++it) {
        if (it->first == cookie) {
            twc_sink* sink = it->second;
            self.sinks_.erase(it);
            sink->vtbl->release(sink);
            return TWC_OK;
        }
    }
    return TWC_E_INVALID_ARG;
}

void control_base::fire(twc_dispid id, twc_variant* args, std::uint32_t count) noexcept {
    // A copy, each sink held, so that a handler may connect and disconnect sinks.
    std::vector<twc_sink*> targets;
    try {
        targets.reserve(sinks_.size());
    } catch (const std::bad_alloc&) {
        return;
    }
    for (auto& [cookie, sink] : sinks_) {
        sink->vtbl->add_ref(sink);
        targets.push_back(sink);
    }
    // Each sink gets its own copy of every by-reference value: what one handler writes there reaches
    // neither the control nor the next handler.
    struct backing {
        std::int16_t i2;
        std::int32_t i4;
        float r4;
        twc_bool boolean;
        twc_string str;
    };
    std::vector<twc_variant> copies;
    std::vector<backing> values;
    try {
        copies.resize(count);
        values.resize(count);
    } catch (const std::bad_alloc&) {
        for (twc_sink* sink : targets) sink->vtbl->release(sink);
        return;
    }
    for (twc_sink* sink : targets) {
        for (std::uint32_t i = 0; i < count; ++i) {
            copies[i] = args[i];
            if (!(args[i].type & TWC_VT_BYREF) || args[i].u.pi2 == nullptr) continue;
            backing& b = values[i];
            switch (base_type(args[i])) {
                case TWC_VT_I2:
                    b.i2 = *args[i].u.pi2, copies[i].u.pi2 = &b.i2;
                    break;
                case TWC_VT_I4:
                    b.i4 = *args[i].u.pi4, copies[i].u.pi4 = &b.i4;
                    break;
                case TWC_VT_R4:
                    b.r4 = *args[i].u.pr4, copies[i].u.pr4 = &b.r4;
                    break;
                case TWC_VT_BOOL:
                    b.boolean = *args[i].u.pbool, copies[i].u.pbool = &b.boolean;
                    break;
                case TWC_VT_STRING:
                    b.str = *args[i].u.pstr, copies[i].u.pstr = &b.str;
                    break;
                default:
                    break;
            }
        }
        sink->vtbl->invoke(sink, id, copies.data(), count);
        sink->vtbl->release(sink);
    }
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
