// InputConf on arbitrary line sequences, then every query, against the plain model of the tables.
//
// The input is read as 16-bit units: U+FFFF ends a line, U+FFFE resets the tables.
#include <cstdint>
#include <string>
#include <vector>

#include "table_model.hpp"
#include "tw_ini/ini.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tw_ini::ini control;
    test::model m;
    std::vector<std::u16string> probes;
    std::u16string line;
    auto file = [&] {
        int number = 0;
        try {
            control.InputConf(line);
        } catch (const platform::runtime_error& e) {
            number = e.number();
        }
        if (number != m.input(line)) __builtin_trap();
        if (line.size() > 2) probes.push_back(line.substr(1, line.size() - 2));
        line.clear();
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0xFFFF) {
            file();
        } else if (unit == 0xFFFE) {
            control.ResetConf();
            m.reset();
        } else {
            line += unit;
        }
    }
    file();
    if (probes.size() > 64) probes.resize(64);
    if (test::first_difference(control, m, probes)) __builtin_trap();
    return 0;
}
