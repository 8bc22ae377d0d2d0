// Names compared as the component interface compares them: ASCII letters without regard to case.
#pragma once

#include <string_view>

namespace platform::component {

inline char ascii_lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a and b are the same text once ASCII capitals are made small; other bytes must be equal.
inline bool ascii_iequal(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

}  // namespace platform::component
