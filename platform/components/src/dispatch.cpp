// The dispatch side of a control object: names to dispatch ids, and calls by id, with their failures
// reported as a status, a run-time error number and a message.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "tarnwick/components/ascii.hpp"
#include "tarnwick/components/control_object.hpp"
#include "tarnwick/components/error_report.hpp"
#include "tarnwick/components/variant.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace platform::component {

twc_status report_error(twc_error* error, twc_status status, int number, std::string_view message,
                        std::uint32_t argument) noexcept {
    if (error == nullptr) return status;
    if (error->size >= offsetof(twc_error, number) + sizeof error->number) error->number = number;
    if (error->size >= offsetof(twc_error, message) + sizeof error->message) {
        error->message = static_cast<char*>(std::malloc(message.size() + 1));
        if (error->message != nullptr) {
            std::memcpy(error->message, message.data(), message.size());
            error->message[message.size()] = '\0';
        }
    }
    if (error->size >= offsetof(twc_error, argument) + sizeof error->argument) error->argument = argument;
    return status;
}

namespace {

// A failed call: its status, run-time error number, message and the argument it concerns.
struct failure {
    twc_status status;
    int number;
    std::string message;
    std::uint32_t argument = UINT32_MAX;
};

twc_status report(const failure& f, twc_error* e) noexcept {
    return report_error(e, f.status, f.number, f.message, f.argument);
}

std::string hex(twc_dispid id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

}  // namespace

twc_status control_base::get_ids_of_names(twc_control* c, const char* name, twc_dispid* id) noexcept {
    control_base& self = of(c);
    if (name == nullptr || id == nullptr) return TWC_E_INVALID_ARG;
    if (!self.on_owner_thread()) return TWC_E_WRONG_THREAD;
    const twc_interface& dispatch = *self.info_.type_info->dispatch;
    for (std::uint32_t i = 0; i < dispatch.member_count; ++i) {
        if (ascii_iequal(dispatch.members[i].name, name)) {
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
    const char* name = nullptr;  // the name of the members of this id, whatever their kind
    for (std::uint32_t i = 0; i < table.member_count && member == nullptr; ++i) {
        if (table.members[i].id != id) continue;
        name = table.members[i].name;
        if (table.members[i].kind & flags) {
            member = &table.members[i];
            index = i;
        }
    }
    if (member == nullptr) {
        if (name == nullptr) {
            return report({TWC_E_MEMBER_NOT_FOUND, err::no_member,
                           std::string(describe(err::no_member)) + ": no member has dispatch id " + hex(id)},
                          error);
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

}  // namespace platform::component
