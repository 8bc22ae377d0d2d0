// A control's dispatch interface as data: one row per member, holding everything about it (its name,
// dispatch id, kind, parameter names and types, result type, and the C++ member it calls). The type
// information, the lookup of names and ids, and the calls all come from the one table, so they cannot
// disagree, and the table is checked when it is compiled: each row's parameter count, parameter types
// and result type fit the C++ member it calls, and no two rows of one kind share a dispatch id.
//
//     using row = platform::component::rows<bridge>;   // bridge.control() gives the C++ control
//     constexpr twc_param header[] = {{"Header", TWC_VT_STRING | TWC_VT_BYREF}};
//     constexpr auto table = platform::component::make_table<bridge>(
//         row::method<&ini::isHeader>("isHeader", 0x60030004, TWC_VT_BOOL, header),
//         row::get<&ini::CreateNew>("CreateNew", 0x68030000, TWC_VT_BOOL), ...);
//
// A C++ parameter `const T&` is passed by reference (TWC_VT_BYREF), a plain `T` by value; a 16-bit
// integer is a Boolean or an Integer as its row says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include "tarnwick/components/arguments.hpp"
#include "tarnwick/components/component.h"
#include "tarnwick/components/variant.hpp"

namespace platform::component {

// Calls one member of the control behind a plug-in's object with coerced arguments and stores its
// result (left empty for a member without one).
template <class Bridge>
using member_call = void (*)(Bridge& bridge, const arguments& args, twc_variant& result);

template <class Bridge>
struct member_row {
    twc_member member;
    member_call<Bridge> call;
};

template <class Bridge, std::size_t N>
struct member_table {
    std::array<twc_member, N> members;         // the interface's members, in slot order
    std::array<member_call<Bridge>, N> calls;  // the call of each, in the same order
};

namespace detail {

template <class F>
struct signature;
template <class C, class R, class... A>
struct signature<R (C::*)(A...)> {
    using result = R;
    using params = std::tuple<A...>;
};
template <class C, class R, class... A>
struct signature<R (C::*)(A...) const> : signature<R (C::*)(A...)> {};

// Whether a variant type code carries the C++ type T, by reference exactly when T is a reference.
template <class T>
constexpr bool carries(std::uint16_t type) {
    using U = std::remove_cvref_t<T>;
    if (std::is_reference_v<T> != ((type & TWC_VT_BYREF) != 0)) return false;
    const std::uint16_t base = type & ~TWC_VT_BYREF;
    if constexpr (std::is_same_v<U, string>) return base == TWC_VT_STRING;
    if constexpr (std::is_same_v<U, std::int32_t>) return base == TWC_VT_I4;
    if constexpr (std::is_same_v<U, float>) return base == TWC_VT_R4;
    if constexpr (std::is_same_v<U, std::int16_t>) return base == TWC_VT_I2 || base == TWC_VT_BOOL;
    return false;
}

template <class R>
constexpr bool returns(std::uint16_t type) {
    if constexpr (std::is_void_v<R>) return type == TWC_VT_EMPTY || type == TWC_VT_VARIANT;
    return carries<R>(type);
}

template <class R>
twc_variant result_of(R value, std::uint16_t type) {
    if constexpr (std::is_same_v<R, string>) {
        return make_string(value);
    } else if constexpr (std::is_same_v<R, std::int32_t>) {
        return make_i4(value);
    } else if constexpr (std::is_same_v<R, float>) {
        return make_r4(value);
    } else {
        static_assert(std::is_same_v<R, std::int16_t>, "a result type variants cannot carry");
        return type == TWC_VT_BOOL ? make_bool(value) : make_i2(value);
    }
}

template <auto Member, class Bridge>
void call_member(Bridge& bridge, const arguments& args, twc_variant& result) {
    using sig = signature<decltype(Member)>;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        auto& control = bridge.control();
        if constexpr (std::is_void_v<typename sig::result>) {
            (control.*Member)(args.as<std::tuple_element_t<I, typename sig::params>>(I)...);
        } else {
            result = result_of<typename sig::result>(
                (control.*Member)(args.as<std::tuple_element_t<I, typename sig::params>>(I)...),
                args.member().result_type);
        }
    }
    (std::make_index_sequence<std::tuple_size_v<typename sig::params>>{});
}

constexpr bool same_text(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

}  // namespace detail

template <class Bridge>
struct rows {
    // A member of the given kind calling Member, with the parameters params (as many as Member takes,
    // of fitting types) and the result type `result`.
    template <auto Member, std::size_t N = 0>
    static consteval member_row<Bridge> row(std::uint16_t kind, const char* name, twc_dispid id,
                                            std::uint16_t result, const twc_param* params) {
        using sig = detail::signature<decltype(Member)>;
        static_assert(std::tuple_size_v<typename sig::params> == N, "one parameter for each of the member's");
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            if (!(detail::carries<std::tuple_element_t<I, typename sig::params>>(params[I].type) && ...)) {
                throw "a parameter type does not fit the member's signature";
            }
        }
        (std::make_index_sequence<N>{});
        if (!detail::returns<typename sig::result>(result)) throw "the result type does not fit the member's";
        return {{sizeof(twc_member), name, id, kind, result, N, N ? params : nullptr},
                &detail::call_member<Member, Bridge>};
    }

    template <auto Member, std::size_t N>
    static consteval member_row<Bridge> method(const char* name, twc_dispid id, std::uint16_t result,
                                               const twc_param (&params)[N]) {
        return row<Member, N>(TWC_INVOKE_METHOD, name, id, result, params);
    }
    template <auto Member>
    static consteval member_row<Bridge> method(const char* name, twc_dispid id, std::uint16_t result) {
        return row<Member>(TWC_INVOKE_METHOD, name, id, result, nullptr);
    }
    template <auto Member>
    static consteval member_row<Bridge> get(const char* name, twc_dispid id, std::uint16_t result) {
        return row<Member>(TWC_INVOKE_PROPERTYGET, name, id, result, nullptr);
    }
    template <auto Member>
    static consteval member_row<Bridge> put(const char* name, twc_dispid id, const twc_param (&value)[1]) {
        return row<Member, 1>(TWC_INVOKE_PROPERTYPUT, name, id, TWC_VT_EMPTY, value);
    }
};

// The table of the rows, in slot order. Rows of one dispatch id have one name and different kinds.
template <class Bridge, class... Rows>
consteval member_table<Bridge, sizeof...(Rows)> make_table(Rows... rows) {
    member_table<Bridge, sizeof...(Rows)> table{{rows.member...}, {rows.call...}};
    for (std::size_t i = 0; i < table.members.size(); ++i) {
        for (std::size_t j = i + 1; j < table.members.size(); ++j) {
            const twc_member& a = table.members[i];
            const twc_member& b = table.members[j];
            if (a.id != b.id) continue;
            if ((a.kind & b.kind) != 0) throw "two members of one kind share a dispatch id";
            if (!detail::same_text(a.name, b.name)) throw "two names share a dispatch id";
        }
    }
    return table;
}

}  // namespace platform::component
