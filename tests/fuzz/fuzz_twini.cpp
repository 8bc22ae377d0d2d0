// twini's operation lists on arbitrary files, in both dialects, each checked against a plain model of its
// own (twini_model.hpp for --exact, common_model.hpp for the default): the status, what is printed and
// the file afterwards, byte for byte. Whatever the models say, a command that fails leaves the file as it
// was, and the lines of the file that an edit leaves alone keep their bytes.
//
// Input: a byte of flags (the line-end mode, --existing, --encoding, a byte-order mark at the start of
// the file), a count of operations, then per operation its kind and three lengths; then the symbols of
// the names and values, one a byte; then the file, one symbol a byte. Symbols are pieces of INI text, so
// that sections and keys meet often.
//
// FUZZ_TWINI_DIALECT=exact (or common) checks that dialect alone; FUZZ_TWINI_EXPLAIN set prints each
// command, the file before and after, and what the model expected, for reproducing a finding.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apply.hpp"
#include "common_checks.hpp"
#include "common_model.hpp"
#include "memory_file.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/utf8.hpp"
#include "temp_dir.hpp"
#include "twini_model.hpp"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// For a developer reproducing a finding (FUZZ_TWINI_EXPLAIN set): the bytes, escaped.
std::string shown(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += ch;
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += b == '\n'   ? std::string("\\n")
                   : b == '\r' ? "\\r"
                   : b == '\t' ? "\\t"
                   : b == '\\' ? "\\\\"
                               : std::string("\\x") + hex[b >> 4] + hex[b & 15];
        }
    }
    return "\"" + out + "\"";
}

// In the file's bytes: Windows-1252 (0xE9 is é; 0x81 is one of the five bytes it leaves undefined) and
// UTF-8 (é), line ends of every kind, blanks, comments, continuation lines.
constexpr std::array<std::string_view, 32> file_symbols{
    "[S]",  "[T]",   "\r\n",  "\n",       "\r",       "k",     "=",     "v",    "[",         "]", " ",
    "\xE9", "S",     "x",     "\x81",     "k=v",      "\t",    ";",     "#",    "\\",        "K", "  ",
    " = ",  "k = v", "k=v\\", "\xC3\xA9", "  [S] ;c", "  k=v", "\n  v", "\\\n", "[S]\n;c\n", ""};

// For names and values, as the command line gives them: the first 18 are Windows-1252 bytes given as
// the UTF-8 of their characters; then a character outside Windows-1252 and a byte that is not UTF-8.
constexpr std::size_t cp1252_symbols = 18;
constexpr std::array<std::string_view, 20> text_symbols{
    "S",  "T", "k", "v",    "=", "[",  "]",  " ", "\xE9",         "\r",
    "\n", "x", "",  "\x81", ";", "\t", "\\", "K", "\xE4\xB8\xAD", "\xFF"};

struct request {
    fuzz::twini_model::kind what;
    std::optional<std::string> section, key, value;  // UTF-8, as given; only what the operation takes
};

// Whether a value of several lines could not be written on continuation lines so that it reads back:
// a line with blanks around it (the first's before it aside, which the check of edges takes), a further
// line that opens a comment, an empty last line.
bool continuation_refused(const std::string& value) {
    const auto lines = fuzz::common_model::value_lines(value);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const bool last = i + 1 == lines.size();
        if (last && fuzz::common::all_blank(l)) return true;
        if (!l.empty() && ((i > 0 && fuzz::common::blank(l.front())) || fuzz::common::blank(l.back())))
            return true;
        if (i > 0 && !l.empty() && (l.front() == ';' || l.front() == '#')) return true;
    }
    return false;
}

// Whether the command is refused before the file is looked at: text that is not UTF-8, or that a set
// could not write so that it reads back (in the common dialect, also blanks around the key or value, a
// key that opens a comment, a value that ends with a backslash, a section name with a "]" that would end
// its header early, a value of several lines that continuation lines cannot hold).
bool refused_outright(const std::vector<request>& rs, std::int16_t mode, bool exact) {
    for (const auto& r : rs) {
        if (r.what != fuzz::twini_model::kind::set) continue;
        for (const auto* t : {&r.section, &r.key, &r.value}) {
            if (*t && platform::invalid_utf8_at(**t) != std::string::npos) return true;
        }
    }
    for (const auto& r : rs) {
        if (r.what != fuzz::twini_model::kind::set) continue;
        for (const auto* t : {&*r.section, &*r.key, &*r.value}) {
            if (t->find('\r') != std::string::npos) return true;
            // An LF ends its line where LF may end lines; in the common dialect, a value's goes on a
            // continuation line instead.
            const bool continued = !exact && t == &*r.value;
            if (mode != 0 && !continued && t->find('\n') != std::string::npos) return true;
        }
        if (!fuzz::reads_back(*r.key)) return true;
        if (exact) continue;
        auto edged = [](const std::string& t) {
            return !t.empty() && (fuzz::common::blank(t.front()) || fuzz::common::blank(t.back()));
        };
        if (edged(*r.key) || edged(*r.value)) return true;
        if (r.value->find('\n') != std::string::npos && continuation_refused(*r.value)) return true;
        if (!r.key->empty() && (r.key->front() == ';' || r.key->front() == '#')) return true;
        if (r.key->find(':') != std::string::npos) return true;
        if (!r.value->empty() && r.value->back() == '\\') return true;
        // A section name whose header line would read back as another name.
        if (!r.section->empty() && fuzz::common::header_name("[" + *r.section + "]") != *r.section)
            return true;
    }
    return false;
}

// The text in the file's character set; nothing when it has no form there.
std::optional<std::string> in_file(const std::string& utf8, platform::encoding set) {
    if (set == platform::encoding::utf8) return utf8;
    try {
        return platform::cp1252::encode(platform::file_text_from_utf8(utf8));
    } catch (const platform::runtime_error&) {
        return std::nullopt;
    }
}

platform::encoding set_of(platform::encoding asked, const std::string& file) {
    if (asked != platform::encoding::as_found) return asked;
    const bool utf8 = file.starts_with(platform::utf8_bom) || platform::codec::valid_utf8(file);
    return utf8 ? platform::encoding::utf8 : platform::encoding::cp1252;
}

void run_dialect(bool exact, const std::string& before, std::int16_t mode, bool existing,
                 platform::encoding asked, const std::vector<request>& rs) {
    twini::command c;
    c.format = {static_cast<platform::line_ends_setting>(mode), asked,
                exact ? platform::ini::dialect::exact : platform::ini::dialect::common};
    c.existing = existing;
    for (const auto& r : rs) {
        using k = fuzz::twini_model::kind;
        const twini::verb v = r.what == k::get_key || r.what == k::get_section ? twini::verb::get
                              : r.what == k::list || r.what == k::list_section ? twini::verb::list
                              : r.what == k::set                               ? twini::verb::set
                                                                               : twini::verb::del;
        c.operations.push_back({v, r.section, r.key, r.value.value_or("")});
    }
    c.file = fuzz::scratch_dir() + "/app.ini";
    test::write_file(c.file, before);
    const twini::result result = twini::run(c);
    const std::string after = test::read_file(c.file);

    // What the model expects.
    fuzz::twini_model::outcome expected{3, {}, before};
    const platform::encoding set = set_of(asked, before);
    std::vector<fuzz::twini_model::op> ops;
    bool convertible = true;
    for (const auto& r : rs) {
        fuzz::twini_model::op o{r.what, {}, {}, {}};
        for (auto [from, to] : {std::pair{&r.section, &o.section}, {&r.key, &o.key}, {&r.value, &o.value}}) {
            if (!*from) continue;
            const auto bytes = in_file(**from, set);
            if (bytes) {
                *to = *bytes;
            } else if (r.what == fuzz::twini_model::kind::set) {
                convertible = false;
            } else {
                *to = "\r";  // a name only looked for that the file cannot hold: in no line of it
            }
        }
        ops.push_back(o);
    }
    if (!refused_outright(rs, mode, exact) && convertible) {
        const bool bom = set == platform::encoding::utf8;
        if (exact) {
            // A leading byte-order mark is no part of the first line, and stays.
            const std::string mark =
                bom && before.starts_with(platform::utf8_bom) ? std::string(platform::utf8_bom) : "";
            expected = fuzz::twini_model::run(before.substr(mark.size()), mode, existing, ops);
            expected.file = mark + expected.file;
        } else {
            expected = fuzz::common_model::run(before, mode, existing, bom, ops);
        }
    }
    if (std::getenv("FUZZ_TWINI_EXPLAIN")) {
        std::fprintf(stderr, "%s mode %d existing %d encoding %d\n", exact ? "exact" : "common", mode,
                     existing, static_cast<int>(asked));
        for (const auto& o : ops) {
            std::fprintf(stderr, "  op %d section %s key %s value %s\n", static_cast<int>(o.what),
                         shown(o.section).c_str(), shown(o.key).c_str(), shown(o.value).c_str());
        }
        std::fprintf(stderr,
                     "  before   %s\n  after    %s\n  expected %s\n  status %d expected %d\n  out %s\n  "
                     "expected %s\n  %s\n",
                     shown(before).c_str(), shown(after).c_str(), shown(expected.file).c_str(), result.status,
                     expected.status, shown(result.out.str()).c_str(), shown(expected.out).c_str(),
                     result.message.c_str());
    }
    if (!exact && result.status == 0) {
        const fuzz::common::edit_check edit(before, after, mode, set == platform::encoding::utf8, ops);
        check(edit.others_kept());
        // Left aside: a new line that begins with an LF (a key that does, with --crlf) right after a line
        // that ends with a lone CR, where the two make a CR LF.
        const bool merges = std::ranges::any_of(ops, [](const auto& o) {
            return o.what == fuzz::twini_model::kind::set && o.key.starts_with('\n');
        });
        if (!merges) {
            check(edit.others_read_alike());
            check(edit.last_set_reads_back());
        }
    }
    check(result.status == expected.status);
    check(result.out.str() == platform::codec::to_utf8(expected.out, set));
    check(after == expected.file);
    check(result.status == 0 || after == before);
    check((result.status == 0) == result.message.empty());
    check(result.status == 0 || result.message.rfind(c.file + ": ", 0) == 0);
    check(!test::exists(c.file + ".twtemp"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto mode = static_cast<std::int16_t>((data[0] & 3) % 3);
    const bool existing = (data[0] & 4) != 0;
    const auto asked =
        static_cast<platform::encoding>(((data[0] >> 3) & 3) % 3 == 0 ? 2 : ((data[0] >> 3) & 3) - 1);
    const std::size_t count = 1 + data[1] % 5;
    std::size_t at = 2;
    if (size < at + 4 * count) return 0;
    std::vector<std::array<std::uint8_t, 4>> heads(count);
    for (auto& h : heads) {
        for (auto& b : h) b = data[at++];
    }
    auto text = [&](std::size_t length) {
        std::string utf8;
        for (std::size_t i = 0; i < length % 4 && at < size; ++i) {
            const std::size_t s = data[at++] % text_symbols.size();
            utf8 += s < cp1252_symbols ? platform::utf8_from_text(platform::cp1252::decode(text_symbols[s]))
                                       : text_symbols[s];
        }
        return utf8;
    };
    std::vector<request> rs;
    for (const auto& h : heads) {
        using k = fuzz::twini_model::kind;
        static constexpr std::array<k, 7> kinds{k::get_key, k::get_section, k::list,       k::list_section,
                                                k::set,     k::del_key,     k::del_section};
        request r{kinds[h[0] % 7u], {}, {}, {}};
        const std::string section = text(h[1]), key = text(h[2]), value = r.what == k::set ? text(h[3]) : "";
        if (r.what != k::list) r.section = section;
        if (r.what == k::get_key || r.what == k::set || r.what == k::del_key) r.key = key;
        if (r.what == k::set) r.value = value;
        rs.push_back(r);
    }
    // A byte-order mark only where it is one: U+FEFF further on would become one where an edit removes
    // the lines before it.
    std::string before = (data[0] & 32) != 0 ? std::string(platform::utf8_bom) : "";
    while (at < size) before += file_symbols[data[at++] % file_symbols.size()];

    // Durability is not what is checked here: flushing to disk would only slow the search down.
    platform::sys::calls().fsync = [](int) { return 0; };
    // FUZZ_TWINI_DIALECT=exact or =common runs that one alone.
    static const std::string only =
        std::getenv("FUZZ_TWINI_DIALECT") ? std::getenv("FUZZ_TWINI_DIALECT") : "";
    if (only != "common") run_dialect(true, before, mode, existing, asked, rs);
    if (only != "exact") run_dialect(false, before, mode, existing, asked, rs);
    return 0;
}
