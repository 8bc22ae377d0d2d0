// C++ helpers for the variants of component.h: making them, owning them, and coercing them the way a
// late-binding host does.
//
// Coercion (a by-reference value is read through its pointer first):
//  - to a string: a string as it is; an integer in decimal; a single with up to 7 significant digits
//    ("1.5", "1E+10"); a Boolean as "True" / "False"; empty as "".
//  - to a number: a number (a single rounded half to even); a Boolean as -1 / 0; empty as 0; a string
//    holding a decimal number, blanks around it allowed ("  -12", "3.5", "1e3"). Any other string is
//    run-time error 13 (type mismatch); a number outside the target's range is 6 (overflow).
//  - to a Boolean: a number, non-zero being True; a string "True" / "False" in any case, or a numeric
//    string; empty as False.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/components/component.h"
#include "tarnwick/files/types.hpp"

namespace platform::component {

// Variants that own what they hold. Allocation failure throws std::bad_alloc.
twc_variant make_empty() noexcept;
twc_variant make_i2(std::int16_t value) noexcept;
twc_variant make_i4(std::int32_t value) noexcept;
twc_variant make_r4(float value) noexcept;
twc_variant make_bool(boolean value) noexcept;  // any non-zero value is stored as True (-1)
twc_variant make_string(std::u16string_view text);

// The type of a variant without its by-reference flag.
inline std::uint16_t base_type(const twc_variant& v) noexcept {
    return static_cast<std::uint16_t>(v.type & ~TWC_VT_BYREF);
}

// The value types of a variant, one description each: its type code, its name, and where its value and
// a pointer to it sit in a twc_variant. with_type() is the one place that goes from a type code to its
// description; everything that depends on a variant's type asks it.
using variant_payload = decltype(twc_variant::u);

template <std::uint16_t Code, class T, T variant_payload::*Value, T* variant_payload::*Pointer>
struct value_type {
    static constexpr std::uint16_t code = Code;
    static constexpr bool holds_value = true;
    static T& value(twc_variant& v) noexcept { return v.u.*Value; }
    static const T& value(const twc_variant& v) noexcept { return v.u.*Value; }
    static T*& pointer(twc_variant& v) noexcept { return v.u.*Pointer; }
    static T* pointer(const twc_variant& v) noexcept { return v.u.*Pointer; }
};

struct i2_type : value_type<TWC_VT_I2, std::int16_t, &variant_payload::i2, &variant_payload::pi2> {
    static constexpr const char* name = "Integer";
};
struct i4_type : value_type<TWC_VT_I4, std::int32_t, &variant_payload::i4, &variant_payload::pi4> {
    static constexpr const char* name = "Long";
};
struct r4_type : value_type<TWC_VT_R4, float, &variant_payload::r4, &variant_payload::pr4> {
    static constexpr const char* name = "Single";
};
struct bool_type : value_type<TWC_VT_BOOL, twc_bool, &variant_payload::boolean, &variant_payload::pbool> {
    static constexpr const char* name = "Boolean";
};
struct string_type : value_type<TWC_VT_STRING, twc_string, &variant_payload::str, &variant_payload::pstr> {
    static constexpr const char* name = "String";
};
// Types without a value of their own.
struct empty_type {
    static constexpr std::uint16_t code = TWC_VT_EMPTY;
    static constexpr bool holds_value = false;
    static constexpr const char* name = "Empty";
};
struct any_type {  // in type information only: a result of any type
    static constexpr std::uint16_t code = TWC_VT_VARIANT;
    static constexpr bool holds_value = false;
    static constexpr const char* name = "Variant";
};
struct unknown_type {  // named by its number where a name is wanted
    static constexpr std::uint16_t code = 0xFFFF;
    static constexpr bool holds_value = false;
};

// Calls f with the description of the type a type code names (its by-reference flag aside). f returns
// the same type for every description.
template <class F>
decltype(auto) with_type(std::uint16_t type, F&& f) {
    switch (type & ~TWC_VT_BYREF) {
        case TWC_VT_EMPTY:
            return f(empty_type{});
        case TWC_VT_I2:
            return f(i2_type{});
        case TWC_VT_I4:
            return f(i4_type{});
        case TWC_VT_R4:
            return f(r4_type{});
        case TWC_VT_BOOL:
            return f(bool_type{});
        case TWC_VT_STRING:
            return f(string_type{});
        case TWC_VT_VARIANT:
            return f(any_type{});
        default:
            return f(unknown_type{});
    }
}

// A variant that refers to the value held by `held` (one of the value types): a by-reference argument
// whose callee writes into `held`.
twc_variant reference_to(twc_variant& held) noexcept;

// Coercions; they throw platform::runtime_error 13 or 6 as described above.
string to_string(const twc_variant& v);
std::int16_t to_i2(const twc_variant& v);
std::int32_t to_i4(const twc_variant& v);
float to_r4(const twc_variant& v);
boolean to_bool(const twc_variant& v);

// A copy of v coerced to type (TWC_VT_I2 ... TWC_VT_BOOL; TWC_VT_VARIANT copies as it is), owned by the
// result and never by reference.
twc_variant coerce(const twc_variant& v, std::uint16_t type);

// Text of a value for display: to_string, except that it never fails.
string display(const twc_variant& v);

// Name of a variant type for messages and listings: "String", "Integer" (16-bit), "Long" (32-bit),
// "Single", "Boolean", "Variant", "Empty"; a by-reference type is prefixed "ByRef ".
std::string type_name(std::uint16_t type);

// Owns one twc_variant and clears it on destruction.
class variant {
  public:
    variant() noexcept : v_(make_empty()) {}
    explicit variant(twc_variant v) noexcept : v_(v) {}
    variant(variant&& other) noexcept : v_(other.v_) { other.v_ = make_empty(); }
    variant& operator=(variant&& other) noexcept {
        if (this != &other) {
            twc_variant_clear(&v_);
            v_ = other.v_;
            other.v_ = make_empty();
        }
        return *this;
    }
    variant(const variant& other) : v_(coerce(other.v_, TWC_VT_VARIANT)) {}
    variant& operator=(const variant& other) {
        if (this != &other) *this = variant(other);
        return *this;
    }
    ~variant() { twc_variant_clear(&v_); }

    twc_variant& get() noexcept { return v_; }
    const twc_variant& get() const noexcept { return v_; }
    // Gives up ownership.
    twc_variant release() noexcept {
        twc_variant out = v_;
        v_ = make_empty();
        return out;
    }

  private:
    twc_variant v_;
};

}  // namespace platform::component
