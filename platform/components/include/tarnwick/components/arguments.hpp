// The arguments of one call of a control's member, counted and coerced to the member's parameter types
// the way a late-binding host expects (variant.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "tarnwick/components/component.h"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/types.hpp"

namespace platform::component {

// A coercion failed on argument `index`.
struct argument_error {
    std::uint32_t index;
    runtime_error error;
};

class arguments {
  public:
    // Coerces args[0 .. count) to the member's parameter types; throws argument_error.
    arguments(const twc_member& member, const twc_variant* args, std::uint32_t count);
    arguments(const arguments&) = delete;
    arguments& operator=(const arguments&) = delete;
    ~arguments();

    const twc_member& member() const noexcept { return member_; }

    // Values by parameter index; the index and type are the member's own, so a mismatch is a bug of the
    // plug-in's table and aborts.
    const string& text(std::size_t i) const;
    std::int16_t i2(std::size_t i) const;
    std::int32_t i4(std::size_t i) const;
    float r4(std::size_t i) const;
    boolean flag(std::size_t i) const;

    // Argument i as the C++ type T of the member's parameter (a 16-bit integer stands for a Boolean or
    // an Integer, as the parameter's type says).
    template <class T>
    decltype(auto) as(std::size_t i) const {
        using U = std::remove_cvref_t<T>;
        if constexpr (std::is_same_v<U, string>) {
            return text(i);
        } else if constexpr (std::is_same_v<U, std::int32_t>) {
            return i4(i);
        } else if constexpr (std::is_same_v<U, float>) {
            return r4(i);
        } else {
            static_assert(std::is_same_v<U, std::int16_t>, "a parameter type variants cannot carry");
            return (member_.params[i].type & ~TWC_VT_BYREF) == TWC_VT_BOOL ? flag(i) : i2(i);
        }
    }

  private:
    const twc_variant& at(std::size_t i, std::uint16_t type) const;

    const twc_member& member_;
    std::vector<twc_variant> values_;
    std::vector<string> texts_;
};

}  // namespace platform::component
