// What one control owns: its tables and the index over them.
#pragma once

#include "name_index.hpp"
#include "tables.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini {

struct ini::state {
    detail::tables tables;
    detail::name_index index;
    std::int16_t line_ends = 0;  // LineEnds
    std::int16_t encoding = 0;   // Encoding
    std::int16_t dialect = 0;    // Dialect
};

}  // namespace tw_ini
