// What one control owns: its tables and the index over them.
#pragma once

#include <cstring>

#include "merged_view.hpp"
#include "name_index.hpp"
#include "tables.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini {

struct ini::state {
    detail::tables tables;
    detail::name_index index;
    detail::merged_view view;  // Dialect 1's reading, built when first asked for

    // Whether the queries read the tables as the common dialect does (Dialect 1): then by the view, brought
    // up to date.
    bool merged() {
        if (dialect != 1) return false;
        view.catch_up(tables);
        return true;
    }

    // The first header named `name`, or -1. The last name asked for is remembered with its answer until
    // the tables change: a program reading a section asks for the same header setting after setting.
    std::int32_t header_named(const platform::string& name) {
        if (remembered_ && name.size() == last_name_.size() &&
            std::memcmp(name.data(), last_name_.data(), name.size() * sizeof(char16_t)) == 0)
            return last_header_;
        last_header_ = index.find_header(tables, detail::name_key(name, tables.encoding()));
        last_name_ = name;
        remembered_ = true;
        return last_header_;
    }
    // The tables changed: what was remembered may be wrong.
    void changed() noexcept { remembered_ = false; }

    std::int16_t line_ends = 0;  // LineEnds
    std::int16_t encoding = 0;   // Encoding
    std::int16_t dialect = 0;    // Dialect

  private:
    platform::string last_name_;
    std::int32_t last_header_ = -1;
    bool remembered_ = false;
};

}  // namespace tw_ini
