// Every door of the writer on arbitrary files: a list of sets and deletions applied one at a time through
// the control's methods, penmoor::ini_file and twini, in either dialect, character set and line-end mode.
// After each operation every door has the same bytes, or every door refused it and left the file as it
// was. Afterwards every door answers each key as the others do (ini_file's snapshot among them), and in
// the common dialect as the reader control does.
//
// Input: a byte of flags (dialect, character set, line ends, a byte-order mark), a count of operations,
// then per operation its kind and three lengths; then the symbols of the names and values, one a byte;
// then the file, one symbol a byte. Symbols are pieces of INI text (long comment blocks, continued values,
// repeated headers, mixed line ends, bytes that are not UTF-8), so that sections and keys meet often.
//
// FUZZ_DOORS_EXPLAIN set prints each operation and what each door made of it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "doors.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/sys.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "temp_dir.hpp"
#include "tw_ini/ini.hpp"

namespace {

using namespace test::doors;
using platform::format;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool explain() {
    static const bool on = std::getenv("FUZZ_DOORS_EXPLAIN") != nullptr;
    return on;
}

std::string shown(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        static constexpr char hex[] = "0123456789ABCDEF";
        out += b >= 0x20 && b < 0x7F && b != '\\' ? std::string(1, ch)
                                                  : std::string("\\x") + hex[b >> 4] + hex[b & 15];
    }
    return "\"" + out + "\"";
}

constexpr std::array<std::string_view, 32> file_symbols{
    "[S]",   "[T]",   "\r\n",  "\n",    "\r",        "k",
    "=",     "v",     "[",     "]",     " ",         "\xE9",
    "S",     "x",     "k=v",   "\t",    ";",         "#",
    "\\",    "  ",    " = ",   "k = v", "k=v\\",     "\xC3\xA9",
    "  [S]", "  k=v", "\n  v", "\\\n",  "[S]\n;c\n", "# a long comment line that a small read window cuts\n",
    "x: y",  ""};

constexpr std::array<std::string_view, 16> text_symbols{"S", "T", "k", "v",  "=", " ", "\xC3\xA9",     "\n",
                                                        "x", "",  ";", "\\", "K", "]", "\xE4\xB8\xAD", "\t"};

struct doors_files {
    test::temp_dir dir;
    std::string path(door d) const { return dir / (std::string(name_of(d)) + ".ini"); }
};

// The character set of the file at path, as the format says.
platform::encoding set_of(const std::string& path, const format& f) {
    if (f.text != platform::encoding::as_found) return f.text;
    auto opened = platform::open_if_regular(path);
    return platform::codec::of_file(*opened);
}

// A control's text as programs get it: its bytes in the file (a lone surrogate stands for a byte that is
// not UTF-8), in UTF-8 as far as they are.
std::string as_programs_get(const std::u16string& text, platform::encoding set) {
    const auto bytes = platform::codec::encode(text, set);
    check(bytes.has_value());
    return platform::codec::to_utf8(*bytes, set);
}

// A program's name as a control gets it: in a UTF-8 file, the bytes that are not UTF-8 as lone
// surrogates.
std::u16string as_control_gets(const std::string& utf8, platform::encoding set) {
    return set == platform::encoding::utf8 ? platform::codec::decode(utf8, set) : platform::from_utf8(utf8);
}

// A key's value as each door answers it (nothing: not there, or not printed), in UTF-8.
std::vector<std::optional<std::string>> answers(const doors_files& files, const format& f,
                                                const std::string& section, const std::string& key) {
    std::vector<std::optional<std::string>> all;
    const platform::encoding set = set_of(files.path(door::control), f);
    {
        penmoor::ini w;
        w.LineEnds(static_cast<std::int16_t>(f.ends));
        w.Encoding(static_cast<std::int16_t>(f.text));
        w.Dialect(static_cast<std::int16_t>(f.rules));
        w.File(platform::from_utf8(files.path(door::control)));
        const auto s = as_control_gets(section, set), k = as_control_gets(key, set);
        all.push_back(w.isSetting(s, k) ? std::optional(as_programs_get(w.getSetting(s, k), set))
                                        : std::nullopt);
    }
    try {
        const penmoor::ini_file file(files.path(door::ini_file), detail::options_of(f));
        all.push_back(file.get(section, key));
        all.push_back(file.read().get(section, key));  // the snapshot answers as the file does
    } catch (const penmoor::error& e) {
        if (explain())
            std::fprintf(stderr, "get %s %s: %s\n", shown(section).c_str(), shown(key).c_str(), e.what());
        check(false);
    }
    twini::command c;
    c.file = files.path(door::twini);
    c.format = f;
    c.operations = {{twini::verb::get, section, key, {}}};
    const twini::result r = twini::run(c);
    if (r.status == twini::failed) return all;  // a value twini does not print: the text after a lone LF
    std::string out = r.out.str();
    if (!out.empty()) out.pop_back();  // the line feed after the value
    all.push_back(r.status == twini::done ? std::optional(out) : std::nullopt);
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    format f;
    f.rules = (data[0] & 1) != 0 ? platform::ini::dialect::common : platform::ini::dialect::exact;
    f.text = static_cast<platform::encoding>(((data[0] >> 1) & 3) % 3);
    f.ends = static_cast<platform::line_ends_setting>(((data[0] >> 3) & 3) % 3);
    const std::size_t count = 1 + data[1] % 4;
    std::size_t at = 2;
    if (size < at + 4 * count) return 0;
    auto text = [&](std::size_t length) {
        std::string utf8;
        for (std::size_t i = 0; i < length % 4 && at < size; ++i)
            utf8 += text_symbols[data[at++] % text_symbols.size()];
        return utf8;
    };
    std::vector<operation> ops;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t kind = data[at], a = data[at + 1], b = data[at + 2], c = data[at + 3];
        at += 4;
        operation op;
        op.what = static_cast<operation::kind>(kind % 3);
        ops.push_back(op);
        ops.back().section = std::string(1, static_cast<char>(a));  // placeholders, filled below
        ops.back().key = std::string(1, static_cast<char>(b));
        ops.back().value = std::string(1, static_cast<char>(c));
    }
    for (operation& op : ops) {
        op.section = text(static_cast<unsigned char>(op.section[0]));
        op.key = op.what == operation::kind::del_section ? "" : text(static_cast<unsigned char>(op.key[0]));
        op.value = op.what == operation::kind::set ? text(static_cast<unsigned char>(op.value[0])) : "";
    }
    std::string before = (data[0] & 32) != 0 ? std::string(platform::utf8_bom) : "";
    while (at < size) before += file_symbols[data[at++] % file_symbols.size()];

    // Durability is not what is checked here.
    platform::sys::calls().fsync = [](int) { return 0; };
    doors_files files;
    for (const door d : all) test::write_file(files.path(d), before);
    for (const operation& op : ops) {
        std::vector<outcome> outcomes;
        std::vector<std::string> after;
        for (const door d : all) {
            outcomes.push_back(apply(d, files.path(d), f, op));
            after.push_back(test::read_file(files.path(d)));
        }
        if (explain()) {
            std::fprintf(stderr, "op %d %s %s %s\n", static_cast<int>(op.what), shown(op.section).c_str(),
                         shown(op.key).c_str(), shown(op.value).c_str());
            for (std::size_t i = 0; i < after.size(); ++i) {
                std::fprintf(stderr, "  %-8s %d %s %s\n", name_of(all[i]), outcomes[i].error,
                             shown(after[i]).c_str(), outcomes[i].message.c_str());
            }
        }
        for (std::size_t i = 1; i < after.size(); ++i) {
            check(outcomes[i].error == outcomes[0].error);
            check(after[i] == after[0]);
        }
        check(outcomes[0].error == 0 || outcomes[0].error == 5);
    }

    // Every door answers every key of every section as the others do.
    const penmoor::ini_file file(files.path(door::ini_file), detail::options_of(f));
    std::vector<std::string> sections = file.sections();
    const penmoor::ini_snapshot snapshot = file.read();
    check(snapshot.sections() == sections);
    sections.push_back("S");
    for (const std::string& section : sections) {
        std::vector<std::string> keys = file.keys(section);
        check(snapshot.keys(section) == keys && snapshot.contains(section) == file.contains(section));
        keys.push_back("k");
        for (const std::string& key : keys) {
            const auto said = answers(files, f, section, key);
            if (explain()) {
                std::fprintf(stderr, "answers %s %s:", shown(section).c_str(), shown(key).c_str());
                for (const auto& a : said) std::fprintf(stderr, " %s", a ? shown(*a).c_str() : "none");
                std::fprintf(stderr, "\n");
            }
            for (const auto& a : said) check(a == said.front());
            if (f.rules != platform::ini::dialect::common) continue;
            tw_ini::ini reader;
            reader.LineEnds(static_cast<std::int16_t>(f.ends));
            reader.Encoding(static_cast<std::int16_t>(f.text));
            reader.Dialect(static_cast<std::int16_t>(f.rules));
            check(reader.ReadFile(platform::from_utf8(files.path(door::ini_file))) == platform::True);
            if (!said.front()) continue;
            const platform::encoding set = set_of(files.path(door::ini_file), f);
            const std::u16string s = as_control_gets(section, set), k = as_control_gets(key, set);
            check(as_programs_get(reader.RCS(s, k), set) == *said.front());
        }
    }
    return 0;
}
