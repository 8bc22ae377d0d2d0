#include "tarnwick/components/variant.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "tarnwick/components/ascii.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace platform::component {
namespace {

[[noreturn]] void mismatch(std::string_view detail) {
    throw runtime_error(err::type_mismatch, detail);
}
[[noreturn]] void overflow(std::string_view detail) {
    throw runtime_error(err::overflow, detail);
}

// The value behind a by-reference variant, as a plain one (a string still points to the caller's data).
twc_variant dereference(const twc_variant& v) {
    if (!(v.type & TWC_VT_BYREF)) return v;
    if (v.u.pi2 == nullptr) mismatch("a by-reference argument points nowhere");
    return with_type(v.type, [&](auto type) -> twc_variant {
        using T = decltype(type);
        if constexpr (T::holds_value) {
            twc_variant out = make_empty();
            out.type = T::code;
            T::value(out) = *T::pointer(v);
            return out;
        } else {
            mismatch("unsupported by-reference type " + std::to_string(v.type));
        }
    });
}

std::u16string_view view(const twc_string& s) {
    if (s.length == 0) return {};
    return {s.data, s.length};
}

std::u16string widen(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

std::string trimmed_ascii(std::u16string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && (text[first] == u' ' || text[first] == u'\t')) ++first;
    while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t')) --last;
    std::string out;
    for (std::size_t i = first; i < last; ++i) {
        if (text[i] > 0x7F) return {};  // never numeric
        out += static_cast<char>(text[i]);
    }
    return out;
}

// A decimal number in a string: optional sign, digits with an optional point, optional exponent.
bool parse_number(std::u16string_view text, double& out) {
    const std::string s = trimmed_ascii(text);
    if (s.empty()) return false;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    if (i != s.size()) return false;
    out = std::strtod(s.c_str(), nullptr);
    return true;
}

// The number a variant stands for, before range checks.
double to_number(const twc_variant& raw) {
    const twc_variant v = dereference(raw);
    return with_type(v.type, [&](auto type) -> double {
        using T = decltype(type);
        if constexpr (std::is_same_v<T, empty_type>) {
            return 0;
        } else if constexpr (std::is_same_v<T, bool_type>) {
            return T::value(v) ? -1 : 0;
        } else if constexpr (std::is_same_v<T, string_type>) {
            double d = 0;
            if (!parse_number(view(v.u.str), d))
                mismatch("\"" + to_utf8(view(v.u.str)) + "\" is not a number");
            return d;
        } else if constexpr (T::holds_value) {
            return T::value(v);
        } else {
            mismatch("unsupported type " + std::to_string(v.type));
        }
    });
}

std::string number_text(double d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15G", d);
    return text;
}

template <class Int>
Int to_integer(const twc_variant& v) {
    const double d = std::nearbyint(to_number(v));  // the default rounding mode: half to even
    if (!(d >= std::numeric_limits<Int>::min() && d <= std::numeric_limits<Int>::max())) {
        overflow(number_text(to_number(v)) + " does not fit " +
                 type_name(sizeof(Int) == 2 ? TWC_VT_I2 : TWC_VT_I4));
    }
    return static_cast<Int>(d);
}

}  // namespace

twc_variant make_empty() noexcept {
    twc_variant v;
    std::memset(&v, 0, sizeof v);
    return v;
}

twc_variant make_i2(std::int16_t value) noexcept {
    twc_variant v = make_empty();
    v.type = TWC_VT_I2;
    v.u.i2 = value;
    return v;
}

twc_variant make_i4(std::int32_t value) noexcept {
    twc_variant v = make_empty();
    v.type = TWC_VT_I4;
    v.u.i4 = value;
    return v;
}

twc_variant make_r4(float value) noexcept {
    twc_variant v = make_empty();
    v.type = TWC_VT_R4;
    v.u.r4 = value;
    return v;
}

twc_variant make_bool(boolean value) noexcept {
    twc_variant v = make_empty();
    v.type = TWC_VT_BOOL;
    v.u.boolean = value ? True : False;
    return v;
}

twc_variant make_string(std::u16string_view text) {
    twc_variant v = make_empty();
    v.type = TWC_VT_STRING;
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    if (!text.empty()) {
        auto* data = static_cast<twc_char*>(std::malloc(text.size() * sizeof(twc_char)));
        if (data == nullptr) throw std::bad_alloc();
        std::memcpy(data, text.data(), text.size() * sizeof(twc_char));
        v.u.str.data = data;
        v.u.str.length = static_cast<std::uint32_t>(text.size());
    }
    return v;
}

string to_string(const twc_variant& raw) {
    const twc_variant v = dereference(raw);
    return with_type(v.type, [&](auto type) -> string {
        using T = decltype(type);
        if constexpr (std::is_same_v<T, empty_type>) {
            return {};
        } else if constexpr (std::is_same_v<T, r4_type>) {
            char text[32];
            std::snprintf(text, sizeof text, "%.7G", static_cast<double>(T::value(v)));
            return widen(text);
        } else if constexpr (std::is_same_v<T, bool_type>) {
            return T::value(v) ? u"True" : u"False";
        } else if constexpr (std::is_same_v<T, string_type>) {
            return string(view(T::value(v)));
        } else if constexpr (T::holds_value) {
            return widen(std::to_string(T::value(v)));
        } else {
            mismatch("unsupported type " + std::to_string(v.type));
        }
    });
}

std::int16_t to_i2(const twc_variant& v) {
    return to_integer<std::int16_t>(v);
}

std::int32_t to_i4(const twc_variant& v) {
    return to_integer<std::int32_t>(v);
}

float to_r4(const twc_variant& v) {
    const double d = to_number(v);
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
        overflow(number_text(d) + " does not fit Single");
    }
    return static_cast<float>(d);
}

boolean to_bool(const twc_variant& raw) {
    const twc_variant v = dereference(raw);
    if (v.type == TWC_VT_STRING) {
        const std::string word = trimmed_ascii(view(v.u.str));
        const std::u16string_view w16 = view(v.u.str);
        if (ascii_iequal(word, "true")) return True;
        if (ascii_iequal(word, "false")) return False;
        double d = 0;
        if (!parse_number(w16, d)) mismatch("\"" + to_utf8(w16) + "\" is not a Boolean");
        return d != 0 ? True : False;
    }
    return to_number(v) != 0 ? True : False;
}

twc_variant coerce(const twc_variant& v, std::uint16_t type) {
    return with_type(type, [&](auto target) -> twc_variant {
        using T = decltype(target);
        if constexpr (std::is_same_v<T, i2_type>) {
            return make_i2(to_i2(v));
        } else if constexpr (std::is_same_v<T, i4_type>) {
            return make_i4(to_i4(v));
        } else if constexpr (std::is_same_v<T, r4_type>) {
            return make_r4(to_r4(v));
        } else if constexpr (std::is_same_v<T, bool_type>) {
            return make_bool(to_bool(v));
        } else if constexpr (std::is_same_v<T, string_type>) {
            return make_string(to_string(v));
        } else if constexpr (std::is_same_v<T, any_type>) {
            const twc_variant plain = dereference(v);
            return plain.type == TWC_VT_STRING ? make_string(view(plain.u.str)) : plain;
        } else {
            mismatch("unsupported parameter type " + std::to_string(type));
        }
    });
}

twc_variant reference_to(twc_variant& held) noexcept {
    twc_variant ref = make_empty();
    with_type(held.type, [&](auto type) {
        using T = decltype(type);
        if constexpr (T::holds_value) {
            ref.type = static_cast<std::uint16_t>(T::code | TWC_VT_BYREF);
            T::pointer(ref) = &T::value(held);
        }
    });
    return ref;
}

string display(const twc_variant& v) {
    try {
        return to_string(v);
    } catch (const std::exception&) {
        return u"?";
    }
}

std::string type_name(std::uint16_t type) {
    const std::string prefix = (type & TWC_VT_BYREF) ? "ByRef " : "";
    return with_type(type, [&](auto t) -> std::string {
        if constexpr (std::is_same_v<decltype(t), unknown_type>) {
            return prefix + "type " + std::to_string(type & ~TWC_VT_BYREF);
        } else {
            return prefix + t.name;
        }
    });
}

}  // namespace platform::component
