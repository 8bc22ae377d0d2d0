// twini's operation lists on arbitrary files, checked against a plain model (twini_model.hpp): the
// status, what is printed and the file afterwards, byte for byte.
//
// Input: a byte of flags (the line-end mode, --existing), a count of operations, then per operation its
// kind and three lengths; then the symbols of the names and values, one a byte; then the file, one
// symbol a byte. Symbols are pieces of INI text, so that sections and keys meet often.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "apply.hpp"
#include "memory_file.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/sys.hpp"
#include "tarnwick/files/utf8.hpp"
#include "temp_dir.hpp"
#include "twini_model.hpp"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// In the file's bytes. 0xE9 is é; 0x81 is one of the five bytes Windows-1252 leaves undefined.
constexpr std::array<std::string_view, 16> file_symbols{
    "[S]", "[T]", "\r\n", "\n", "\r", "k", "=", "v", "[", "]", " ", "\xE9", "S", "x", "\x81", "k=v"};

// For names and values: the last two have no form in the file (a character outside Windows-1252, a
// byte that is not UTF-8), and are given as the command line would give them.
constexpr std::array<std::string_view, 16> text_symbols{
    "S", "T", "k", "v", "=", "[", "]", " ", "\xE9", "\r", "\n", "x", "", "\x81", "\xE4\xB8\xAD", "\xFF"};

struct argument {
    std::string file_bytes;  // as the file would hold it
    std::string utf8;        // as the command line gives it
    bool convertible = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto mode = static_cast<std::int16_t>(data[0] % 3);
    const bool existing = (data[0] & 4) != 0;
    const std::size_t count = 1 + data[1] % 5;
    std::size_t at = 2;
    if (size < at + 4 * count) return 0;
    std::vector<std::array<std::uint8_t, 4>> heads(count);
    for (auto& h : heads) {
        for (auto& b : h) b = data[at++];
    }
    auto text = [&](std::size_t length) {
        argument a;
        for (std::size_t i = 0; i < length % 4 && at < size; ++i) {
            const std::size_t s = data[at++] % text_symbols.size();
            a.utf8 += s < 14 ? platform::utf8_from_text(platform::cp1252::decode(text_symbols[s]))
                             : text_symbols[s];
            a.file_bytes += text_symbols[s];
            a.convertible = a.convertible && s < 14;
        }
        return a;
    };

    twini::command c;
    c.line_ends = mode;
    c.existing = existing;
    std::vector<fuzz::twini_model::op> ops;
    bool convertible = true, line_feed = false;
    for (const auto& h : heads) {
        const std::size_t what = h[0] % 7u;
        const argument section = text(h[1]), key = text(h[2]), value = what == 4u ? text(h[3]) : argument{};
        using k = fuzz::twini_model::kind;
        static constexpr std::array<k, 7> kinds{k::get_key, k::get_section, k::list,       k::list_section,
                                                k::set,     k::del_key,     k::del_section};
        static constexpr std::array<twini::verb, 7> verbs{
            twini::verb::get, twini::verb::get, twini::verb::list, twini::verb::list,
            twini::verb::set, twini::verb::del, twini::verb::del};
        // Only the text an operation takes is converted.
        twini::operation op{verbs[what], {}, {}, {}};
        if (kinds[what] != k::list) {
            op.section = section.utf8;
            convertible = convertible && section.convertible;
        }
        if (kinds[what] == k::get_key || kinds[what] == k::set || kinds[what] == k::del_key) {
            op.key = key.utf8;
            convertible = convertible && key.convertible;
        }
        if (kinds[what] == k::set) {
            op.value = value.utf8;
            convertible = convertible && value.convertible;
            line_feed = line_feed || (section.file_bytes + key.file_bytes + value.file_bytes).find('\n') !=
                                         std::string::npos;
        }
        c.operations.push_back(op);
        ops.push_back({kinds[what], section.file_bytes, key.file_bytes, value.file_bytes});
    }
    std::string before;
    while (at < size) before += file_symbols[data[at++] % file_symbols.size()];

    // Durability is not what is checked here: flushing to disk would only slow the search down.
    platform::sys::calls().fsync = [](int) { return 0; };
    c.file = fuzz::scratch_dir() + "/app.ini";
    test::write_file(c.file, before);
    const twini::result r = twini::run(c);
    const std::string after = test::read_file(c.file);

    if (!convertible || (mode != 0 && line_feed)) {
        // Refused before the file is looked at.
        check(r.status == 3 && r.out.empty() && after == before);
    } else {
        const auto expected = fuzz::twini_model::run(before, mode, existing, ops);
        check(r.status == expected.status);
        check(r.out == platform::utf8_from_text(platform::cp1252::decode(expected.out)));
        check(after == expected.file);
    }
    check((r.status == 0) == r.message.empty());
    check(r.status == 0 || r.message.rfind(c.file + ": ", 0) == 0);
    check(!test::exists(c.file + ".twtemp"));
    return 0;
}
