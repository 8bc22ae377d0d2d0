// ReadFile on arbitrary file bytes, then every query, against the plain model fed the file's lines, in
// Windows-1252 and in UTF-8.
#include <cstdint>
#include <string>

#include "memory_file.hpp"
#include "split_lines.hpp"
#include "table_model.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "temp_dir.hpp"
#include "tw_ini/ini.hpp"

namespace {

// ReadFile in one character set (0: Windows-1252; 1: UTF-8, where a byte-order mark is no part of the
// first line) against the model fed the lines decoded so.
void check(std::string_view bytes, std::int16_t encoding) {
    const auto set = encoding == 1 ? platform::encoding::utf8 : platform::encoding::cp1252;
    std::string_view text = bytes;
    if (encoding == 1 && text.starts_with(platform::utf8_bom)) text.remove_prefix(platform::utf8_bom.size());
    test::model m;
    int expected = 0;
    for (const auto& line : test::split_lines(text)) {
        if ((expected = m.input(platform::codec::decode(line, set))) != 0) break;
    }
    platform::file f = fuzz::memory_file(bytes);
    tw_ini::ini control;
    control.Encoding(encoding);
    control.InputConf(u"[left over]");  // a load starts from empty tables
    int number = 0;
    try {
        if (control.ReadFile(test::u16(f.path())) != platform::True) __builtin_trap();
    } catch (const platform::runtime_error& e) {
        number = e.number();
    }
    if (number != expected) __builtin_trap();
    if (test::first_difference(control, m, {u"left over", u"a"})) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes, 0);
    check(bytes, 1);
    return 0;
}
