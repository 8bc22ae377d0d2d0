// ReadFile on arbitrary file bytes, then every query, against the plain model fed the file's lines.
#include <cstdint>
#include <string>

#include "memory_file.hpp"
#include "split_lines.hpp"
#include "table_model.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "temp_dir.hpp"
#include "tw_ini/ini.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    test::model m;
    int expected = 0;
    for (const auto& line : test::split_lines(bytes)) {
        if ((expected = m.input(platform::cp1252::decode(line))) != 0) break;
    }
    platform::file f = fuzz::memory_file(bytes);
    tw_ini::ini control;
    control.InputConf(u"[left over]");  // a load starts from empty tables
    int number = 0;
    try {
        if (control.ReadFile(test::u16(f.path())) != platform::True) __builtin_trap();
    } catch (const platform::runtime_error& e) {
        number = e.number();
    }
    if (number != expected) __builtin_trap();
    if (test::first_difference(control, m, {u"left over", u"a"})) __builtin_trap();
    return 0;
}
