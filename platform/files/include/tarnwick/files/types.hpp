/// @file
/// Value types shared by every interface of the controls.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// A 16-bit Boolean: True is -1, False is 0. Where a flag is tested, any non-zero value counts as True.
using boolean = std::int16_t;
/// The Boolean True, -1: every bit set.
inline constexpr boolean True = -1;
/// The Boolean False, 0.
inline constexpr boolean False = 0;

/// A counted Unicode (UTF-16) string; one character is one 16-bit unit.
using string = std::u16string;

}  // namespace platform
