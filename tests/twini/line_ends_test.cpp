// Every line-end mode against every operation, with the files byte for byte: a CR LF file and an LF
// file under each mode.
#include <gtest/gtest.h>

#include <string>

#include "apply.hpp"
#include "temp_dir.hpp"

namespace {

using twini::verb;

struct row {
    platform::line_ends_setting mode;
    const char* before;
    twini::operation op;
    int status;
    const char* after;  // the file afterwards; null: as before
    const char* out = "";
    bool exact = true;  // --exact, else the common dialect
};

twini::operation set(const char* s, const char* k, const char* v) {
    return {verb::set, s, k, v};
}
twini::operation del(const char* s, const char* k = nullptr) {
    return {verb::del, s, k ? std::optional<std::string>(k) : std::nullopt, {}};
}
twini::operation get(const char* s, const char* k) {
    return {verb::get, s, k, {}};
}

constexpr const char* crlf_file = "[S]\r\na=1\r\n";
constexpr const char* lf_file = "[S]\na=1\n";
constexpr auto crlf = platform::line_ends_setting::crlf, lf = platform::line_ends_setting::lf,
               found = platform::line_ends_setting::as_found;

const row rows[] = {
    // A CR LF file: CR LF ends lines in every mode; lines written end as the mode says, as found CR LF.
    {crlf, crlf_file, set("S", "a", "9"), 0, "[S]\r\na=9\r\n"},
    {crlf, crlf_file, set("S", "b", "2"), 0, "[S]\r\nb=2\r\na=1\r\n"},
    {crlf, crlf_file, set("T", "c", "3"), 0, "[S]\r\na=1\r\n\r\n\r\n[T]\r\nc=3\r\n"},
    {crlf, crlf_file, del("S", "a"), 0, "[S]\r\n"},
    {crlf, crlf_file, del("S"), 0, "\r\n\r\n"},
    {crlf, crlf_file, get("S", "a"), 0, nullptr, "1\n"},
    {found, crlf_file, set("S", "a", "9"), 0, "[S]\r\na=9\r\n"},
    {found, crlf_file, set("S", "b", "2"), 0, "[S]\r\nb=2\r\na=1\r\n"},
    {found, crlf_file, set("T", "c", "3"), 0, "[S]\r\na=1\r\n\r\n\r\n[T]\r\nc=3\r\n"},
    {found, crlf_file, del("S", "a"), 0, "[S]\r\n"},
    {found, crlf_file, del("S"), 0, "\r\n\r\n"},
    {found, crlf_file, get("S", "a"), 0, nullptr, "1\n"},
    {lf, crlf_file, set("S", "a", "9"), 0, "[S]\na=9\n"},
    {lf, crlf_file, set("S", "b", "2"), 0, "[S]\nb=2\na=1\n"},
    {lf, crlf_file, set("T", "c", "3"), 0, "[S]\na=1\n\n\n[T]\nc=3\n"},
    {lf, crlf_file, del("S", "a"), 0, "[S]\n"},
    {lf, crlf_file, del("S"), 0, "\n\n"},
    {lf, crlf_file, get("S", "a"), 0, nullptr, "1\n"},
    // An LF file: as found and --lf read it alike; --crlf reads it as one line, which no section opens.
    {lf, lf_file, set("S", "a", "9"), 0, "[S]\na=9\n"},
    {lf, lf_file, set("S", "b", "2"), 0, "[S]\nb=2\na=1\n"},
    {lf, lf_file, set("T", "c", "3"), 0, "[S]\na=1\n\n\n[T]\nc=3\n"},
    {lf, lf_file, del("S", "a"), 0, "[S]\n"},
    {lf, lf_file, del("S"), 0, "\n\n"},
    {lf, lf_file, get("S", "a"), 0, nullptr, "1\n"},
    {found, lf_file, set("S", "a", "9"), 0, "[S]\na=9\n"},
    {found, lf_file, set("S", "b", "2"), 0, "[S]\nb=2\na=1\n"},
    {found, lf_file, set("T", "c", "3"), 0, "[S]\na=1\n\n\n[T]\nc=3\n"},
    {found, lf_file, del("S", "a"), 0, "[S]\n"},
    {found, lf_file, del("S"), 0, "\n\n"},
    {found, lf_file, get("S", "a"), 0, nullptr, "1\n"},
    {crlf, lf_file, set("S", "a", "9"), 0, "[S]\na=1\n\r\n\r\n[S]\r\na=9\r\n"},
    {crlf, lf_file, set("S", "b", "2"), 0, "[S]\na=1\n\r\n\r\n[S]\r\nb=2\r\n"},
    {crlf, lf_file, set("T", "c", "3"), 0, "[S]\na=1\n\r\n\r\n[T]\r\nc=3\r\n"},
    {crlf, lf_file, del("S", "a"), 1, nullptr},
    {crlf, lf_file, del("S"), 1, nullptr},
    {crlf, lf_file, get("S", "a"), 1, nullptr},
    // The common dialect, the default: a new key after the section's last line, a new section set off by
    // one blank line, a deleted section gone whole.
    {crlf, crlf_file, set("S", "a", "9"), 0, "[S]\r\na=9\r\n", "", false},
    {crlf, crlf_file, set("S", "b", "2"), 0, "[S]\r\na=1\r\nb=2\r\n", "", false},
    {crlf, crlf_file, set("T", "c", "3"), 0, "[S]\r\na=1\r\n\r\n[T]\r\nc=3\r\n", "", false},
    {crlf, crlf_file, del("S", "a"), 0, "[S]\r\n", "", false},
    {crlf, crlf_file, del("S"), 0, "", "", false},
    {found, crlf_file, set("S", "b", "2"), 0, "[S]\r\na=1\r\nb=2\r\n", "", false},
    {found, crlf_file, set("T", "c", "3"), 0, "[S]\r\na=1\r\n\r\n[T]\r\nc=3\r\n", "", false},
    // Line ends chosen against the file's own would mix two kinds in it (and --crlf would read an LF
    // file as one line): refused.
    {lf, crlf_file, set("T", "c", "3"), 3, nullptr, "", false},
    {found, lf_file, set("S", "a", "9"), 0, "[S]\na=9\n", "", false},
    {found, lf_file, set("S", "b", "2"), 0, "[S]\na=1\nb=2\n", "", false},
    {found, lf_file, set("T", "c", "3"), 0, "[S]\na=1\n\n[T]\nc=3\n", "", false},
    {found, lf_file, del("S", "a"), 0, "[S]\n", "", false},
    {found, lf_file, del("S"), 0, "", "", false},
    {found, lf_file, get("S", "a"), 0, nullptr, "1\n", false},
    {crlf, lf_file, set("T", "c", "3"), 3, nullptr, "", false},
    {crlf, lf_file, get("S", "a"), 1, nullptr, "", false},
    // The common dialect's edge cases: a new section after a file that ends with a blank line gets no
    // second one; a last line without an end keeps having none; a new key never joins the value before
    // it nor takes in an indented header after it, nor is indented by the blanks before an empty key's
    // "="; a value's continuation line that holds a lone LF is one the edit takes along; a header after
    // a line that ends no value (or ends with a backslash outside one) opens its section; a deletion that
    // would join the next line to the value before it, a lone LF on any line of a key deleted with
    // --exact, and a section name whose header would read back as another are refused.
    {found, "[S]\na=1\n\n", set("T", "c", "3"), 0, "[S]\na=1\n\n[T]\nc=3\n", "", false},
    {found, "[S]", set("", "b", "2"), 0, "b=2\n[S]", "", false},
    {found, "[S]\n  a=1\nb=2\n", set("S", "c", "3"), 0, "[S]\n  a=1\nb=2\nc=3\n", "", false},
    {found, "[S]\nx\n  [T]\n", set("S", "c", "3"), 0, "[S]\nx\n  c=3\n  [T]\n", "", false},
    {found, "[S]\na = 1\n", set("S", "", "2"), 0, "[S]\na = 1\n= 2\n", "", false},
    {found, "[S]\r\na=1\r\n  more\nhidden\r\n", set("S", "a", "2"), 3, nullptr, "", false},
    {found, "k=v\ny\n  [S]\na=1\n", get("S", "a"), 0, nullptr, "1\n", false},
    {found, "x\\\n  [S]\na=1\n", get("S", "a"), 0, nullptr, "1\n", false},
    {found, "k=v\n[x]\n  [y]\nq=1\n", del("x"), 3, nullptr, "", false},
    {found, "[S]\np=x\\\nk=1\nfoo\n", del("S", "k"), 3, nullptr, "", false},
    {found, "[S]\r\nk=1\r\nk=2\nhidden=3\r\n", del("S", "k"), 3, nullptr},
    {found, lf_file, set("a];", "k", "v"), 3, nullptr, "", false},
};

TEST(LineEnds, EveryModeAgainstEveryOperationByteForByte) {
    int n = 0;
    for (const row& r : rows) {
        SCOPED_TRACE("row " + std::to_string(n++));
        test::temp_dir dir;
        test::write_file(dir / "app.ini", r.before);
        twini::command c;
        c.file = dir / "app.ini";
        c.format.ends = r.mode;
        if (r.exact) c.format.rules = platform::ini::dialect::exact;
        c.operations = {r.op};
        const twini::result done = twini::run(c);
        EXPECT_EQ(done.status, r.status) << done.message;
        EXPECT_EQ(done.out.str(), r.out);
        EXPECT_EQ(test::read_file(dir / "app.ini"), r.after ? r.after : r.before);
    }
}

}  // namespace
