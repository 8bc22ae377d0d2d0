// Names with a number, for the many keys and sections of a test.
#pragma once

#include <string>
#include <string_view>

namespace test {

// "k" and 7 make "k7". Appended rather than written "k" + std::to_string(7), which GCC 12 takes for an
// overlapping copy once it is inlined (-Wrestrict).
inline std::string numbered(std::string_view name, long long number) {
    std::string text(name);
    text += std::to_string(number);
    return text;
}

}  // namespace test
