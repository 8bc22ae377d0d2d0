// The number of the penmoor::error a call of the interface for programs throws; 0 when it throws none.
#pragma once

#include <functional>

#include "penmoor/ini_file.hpp"

namespace test {

inline int number_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const penmoor::error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace test
