#include "interpreter.hpp"

#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <new>
#include <string_view>

#include "registration.hpp"
#include "tarnwick/components/ascii.hpp"
#include "tarnwick/components/registry.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twhost {
namespace {

namespace pc = platform::component;

// A variable's name as the variables are kept: ASCII capitals made small, whatever locale a library
// loaded meanwhile has set.
std::string lower(std::string s) {
    std::ranges::transform(s, s.begin(), pc::ascii_lower);
    return s;
}

[[noreturn]] void fail(int number, const std::string& detail) {
    throw script_error(number, std::string(platform::describe(number)) + ": " + detail);
}

// A coercion of the host's own (concatenation, negation) fails like a control's would.
template <class F>
auto coerced(F f) {
    try {
        return f();
    } catch (const platform::runtime_error& e) {
        throw script_error(e.number(), e.what());
    }
}

std::string absolute(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

interpreter::interpreter(std::ostream& out, std::ostream& err, std::ostream* events)
    : out_(out), err_(err), events_(events) {}

interpreter::~interpreter() {
    shutdown();
}

void interpreter::event(const std::string& line) {
    if (events_ == nullptr) return;
    if (events_ != &out_) out_.flush();
    *events_ << line << '\n';
}

void interpreter::report(const std::string& source, int line, int number, std::string_view message) {
    out_.flush();
    err_ << source << ':' << line << ": run-time error " << number << ": " << message << '\n';
}

bool interpreter::run(const std::vector<statement>& statements, const std::string& source, bool keep_going) {
    bool ok = true;
    for (const statement& s : statements) {
        try {
            execute(s);
        } catch (const script_error& e) {
            report(source, s.line, e.number(), e.what());
            ok = false;
            if (!keep_going) break;
        } catch (const std::bad_alloc&) {
            report(source, s.line, platform::err::out_of_memory,
                   platform::describe(platform::err::out_of_memory));
            ok = false;
            if (!keep_going) break;
        }
    }
    out_.flush();
    return ok;
}

bool interpreter::shutdown() {
    variables_.clear();
    windows_.clear();
    bool ok = true;
    for (auto& [path, lib] : libraries_) {
        try {
            lib->unload();
        } catch (const host_error& e) {
            out_.flush();
            err_ << "twhost: " << e.what() << '\n';
            ok = false;
        }
    }
    libraries_.clear();
    return ok;
}

void interpreter::execute(const statement& s) {
    switch (s.what) {
        case statement::kind::set: {
            value v = evaluate(*s.value, s.target);
            if (!v.is_object)
                fail(platform::err::type_mismatch,
                     "Set needs an object (CreateObject, Nothing or an object)");
            variables_[lower(s.target)] = std::move(v);
            break;
        }
        case statement::kind::assign: {
            value v = evaluate(*s.value);
            if (v.is_object) fail(platform::err::wrong_arguments, "an object is assigned with Set");
            variables_[lower(s.target)] = std::move(v);
            break;
        }
        case statement::kind::put: {
            // A property put takes its value by value.
            std::vector<twc_variant> args{scalar(*s.value).release()};
            pc::variant owned(args[0]);
            control_of(s.target)->call(s.member, TWC_INVOKE_PROPERTYPUT, args);
            break;
        }
        case statement::kind::call:
            call(s.target, s.member, TWC_INVOKE_METHOD, s.arguments);
            break;
        case statement::kind::print: {
            std::string line;
            for (std::size_t i = 0; i < s.arguments.size(); ++i) {
                line +=
                    platform::to_utf8(coerced([&] { return pc::to_string(scalar(*s.arguments[i]).get()); }));
                if (i < s.separators.size() && s.separators[i] == ',') line += ' ';
            }
            for (std::size_t at = line.find("\r\n"); at != std::string::npos; at = line.find("\r\n", at)) {
                line.erase(at, 1);
            }
            out_ << line << '\n';
            break;
        }
        case statement::kind::click:
            if (s.arguments.size() != 2)
                fail(platform::err::wrong_arguments, "Click takes two arguments, a window and a button");
            windows_.click(name_argument(*s.arguments[0]), name_argument(*s.arguments[1]));
            break;
        case statement::kind::close_window:
            if (s.arguments.size() != 1)
                fail(platform::err::wrong_arguments, "CloseWindow takes one argument, a window");
            windows_.close(name_argument(*s.arguments[0]));
            break;
    }
}

std::string interpreter::name_argument(const expression& e) {
    return platform::to_utf8(coerced([&] { return pc::to_string(scalar(e).get()); }));
}

pc::variant interpreter::function(const expression& e) {
    const auto arity = [&](std::size_t count, const char* what) {
        if (e.operands.size() != count) fail(platform::err::wrong_arguments, what);
    };
    if (e.name == "windowtext") {
        arity(2, "WindowText takes two arguments, a window and a control");
        return pc::variant(
            pc::make_string(windows_.text(name_argument(*e.operands[0]), name_argument(*e.operands[1]))));
    }
    if (e.name == "windowopen") {
        arity(1, "WindowOpen takes one argument, a window");
        return pc::variant(pc::make_bool(windows_.is_open(name_argument(*e.operands[0])) ? platform::True
                                                                                         : platform::False));
    }
    arity(1, "Len takes one argument");
    const pc::variant operand = scalar(*e.operands[0]);
    const auto length = coerced([&] { return pc::to_string(operand.get()).size(); });
    return pc::variant(pc::make_i4(static_cast<std::int32_t>(length)));
}

pc::variant interpreter::scalar(const expression& e) {
    value v = evaluate(e);
    if (v.is_object) fail(platform::err::no_member, "an object has no value of its own here");
    return std::move(v.data);
}

interpreter::value interpreter::evaluate(const expression& e, const std::string& name_for_events) {
    value v;
    switch (e.what) {
        case expression::kind::string:
            v.data = pc::variant(pc::make_string(e.text));
            break;
        case expression::kind::integer:
            v.data = pc::variant(e.number >= INT16_MIN && e.number <= INT16_MAX
                                     ? pc::make_i2(static_cast<std::int16_t>(e.number))
                                     : pc::make_i4(e.number));
            break;
        case expression::kind::boolean:
            v.data = pc::variant(pc::make_bool(static_cast<platform::boolean>(e.number)));
            break;
        case expression::kind::nothing:
            v.is_object = true;
            break;
        case expression::kind::variable: {
            const auto found = variables_.find(lower(e.name));
            if (found != variables_.end()) {
                v.is_object = found->second.is_object;
                v.control = found->second.control;
                v.data = found->second.data;
            }
            break;  // an unknown variable is empty
        }
        case expression::kind::member:
            v.data = call(e.name, e.member, TWC_INVOKE_METHOD | TWC_INVOKE_PROPERTYGET, e.operands);
            break;
        case expression::kind::function:
            v.data = function(e);
            break;
        case expression::kind::create_object:
            v.control = create(e.operands, name_for_events);
            v.is_object = true;
            break;
        case expression::kind::negate: {
            const pc::variant operand = scalar(*e.operands[0]);
            const std::int64_t n =
                -static_cast<std::int64_t>(coerced([&] { return pc::to_i4(operand.get()); }));
            if (n > INT32_MAX) fail(platform::err::overflow, "the negation does not fit a Long");
            v.data = pc::variant(pc::base_type(operand.get()) == TWC_VT_I2 && n >= INT16_MIN && n <= INT16_MAX
                                     ? pc::make_i2(static_cast<std::int16_t>(n))
                                     : pc::make_i4(static_cast<std::int32_t>(n)));
            break;
        }
        case expression::kind::concat: {
            // Operand by operand, left to right, into one string: a chain of any length is one loop.
            platform::string text;
            for (const expression_ptr& operand : e.operands) {
                const pc::variant part = scalar(*operand);
                coerced([&] { text += pc::to_string(part.get()); });
                if (text.size() > max_string_) {
                    fail(platform::err::out_of_string_space,
                         "the concatenation is longer than " + std::to_string(max_string_) + " characters");
                }
            }
            v.data = pc::variant(pc::make_string(text));
            break;
        }
    }
    return v;
}

std::shared_ptr<object> interpreter::control_of(const std::string& variable) {
    const auto found = variables_.find(lower(variable));
    if (found == variables_.end() || !found->second.is_object || !found->second.control) {
        fail(platform::err::object_required, "'" + variable + "' holds no object");
    }
    return found->second.control;
}

pc::variant interpreter::call(const std::string& target, const std::string& member, std::uint16_t flags,
                              const std::vector<expression_ptr>& arguments) {
    const std::shared_ptr<object> control = control_of(target);
    // A plain variable is passed by reference to its own value; anything else by value.
    std::vector<pc::variant> temporaries;
    temporaries.reserve(arguments.size());
    std::vector<twc_variant> args;
    for (const expression_ptr& a : arguments) {
        const auto found =
            a->what == expression::kind::variable ? variables_.find(lower(a->name)) : variables_.end();
        if (found != variables_.end() && !found->second.is_object &&
            found->second.data.get().type != TWC_VT_EMPTY) {
            twc_variant ref = pc::reference_to(found->second.data.get());
            args.push_back(ref);
        } else {
            temporaries.push_back(scalar(*a));
            args.push_back(temporaries.back().get());
        }
    }
    return control->call(member, flags, args);
}

std::shared_ptr<object> interpreter::create(const std::vector<expression_ptr>& arguments,
                                            const std::string& name) {
    if (arguments.size() != 1)
        fail(platform::err::wrong_arguments, "CreateObject takes one argument, a ProgID or a library path");
    const std::string what =
        platform::to_utf8(coerced([&] { return pc::to_string(scalar(*arguments[0]).get()); }));
    try {
        std::shared_ptr<library> lib;
        const twc_class_info* info = nullptr;
        if (what.find('/') != std::string::npos) {
            lib = load(what);
            info = &lib->class_info();
        } else {
            const platform::registry::entry entry = registered_class(what).first;
            lib = load(entry.path);
            info = &lib->class_info(&entry.class_id);
        }
        twc_control* control = lib->create(info->type_info->class_id);
        return std::make_shared<object>(lib, *info, control, name,
                                        [this](const std::string& line) { event(line); });
    } catch (const host_error& e) {
        fail(platform::err::cannot_create, e.what());
    } catch (const platform::registry::error& e) {
        fail(platform::err::cannot_create, e.what());
    }
}

std::shared_ptr<library> interpreter::load(const std::string& path) {
    const std::string key = absolute(path);
    auto& slot = libraries_[key];
    if (!slot) {
        try {
            slot = std::make_shared<library>(path);
        } catch (...) {
            libraries_.erase(key);
            throw;
        }
        windows_.add(slot->window_host());
    }
    return slot;
}

}  // namespace twhost
