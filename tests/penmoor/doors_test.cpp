// Every door keeps the same rules: the control's methods, ini_file and twini give the same bytes, or the
// same refusal with the file untouched, for the files and operations that once slipped past one of them.
#include <gtest/gtest.h>

#include "doors.hpp"
#include "run.hpp"
#include "session.hpp"
#include "temp_dir.hpp"

namespace {

using namespace test::doors;
using platform::format;
using ends = platform::line_ends_setting;
using platform::encoding;

constexpr format common{ends::as_found, encoding::as_found, platform::ini::dialect::common};
constexpr format exact{ends::as_found, encoding::as_found, platform::ini::dialect::exact};
constexpr format common_crlf{ends::crlf, encoding::as_found, platform::ini::dialect::common};

struct row {
    const char* why;
    format how;
    std::string before;
    operation op;
    std::optional<std::string> after;  // nothing: refused (error 5), the file as it was
};

std::string comments(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "# a comment line, long enough to fill the read window quickly\n";
    return text;
}

const std::vector<row>& rows() {
    static const std::string indent(1100 * 1024, ' ');
    static const std::vector<row> all = {
        {"a deletion that joins the next line to the value before it", common,
         "[S]\na = one\\\nb = two\nthree\n", del("S", "b"), std::nullopt},
        {"a line of the key holds a lone LF in a CR LF file", common, "[S]\r\na=1\nb=2\nc=3\n",
         set("S", "a", "9"), std::nullopt},
        {"a section name whose header would read back as another", common, "[S]\nk=1\n",
         set("a] #note", "x", "2"), std::nullopt},
        {"a key after a repeat of its section's header (set)", exact, "[A]\nx=1\n[A]\nz=3\n",
         set("A", "z", "9"), std::nullopt},
        {"a key after a repeat of its section's header (del)", exact, "[A]\nx=1\n[A]\nz=3\n", del("A", "z"),
         std::nullopt},
        {"a deletion that gives a section's later keys to its first part", exact,
         "[T]\na=1\n[V]\nv=1\n[T]\nt=2\n", del("V"), std::nullopt},
        {"the same where the other section's header line is longer than a read window", exact,
         "[" + std::string(300, 'T') + "]\na=1\n[V]\nv=1\n[" + std::string(300, 'T') + "]\nt=2\n", del("V"),
         std::nullopt},
        {"where every occurrence of a section is the section, nothing joins", common,
         "[T]\na=1\n[V]\nv=1\n[T]\nt=2\n", del("V"), "[T]\na=1\n[T]\nt=2\n"},
        {"the last line of a key counts: a set changes it", common, "[S]\nk = 1\n[T]\n[S]\nk = 2\n",
         set("S", "k", "3"), "[S]\nk = 1\n[T]\n[S]\nk = 3\n"},
        {"a new key goes after the section's last occurrence", common,
         "[S]\na = 1\n[T]\nx = 1\n[S]\nb = 2\n[U]\n", set("S", "c", "3"),
         "[S]\na = 1\n[T]\nx = 1\n[S]\nb = 2\nc = 3\n[U]\n"},
        {"a deletion removes every line of a key", common, "[S]\nk = 1\n[T]\n[S]\nk = 2\n", del("S", "k"),
         "[S]\n[T]\n[S]\n"},
        {"name: value is a setting, and keeps its delimiter", common, "[S]\nk: 1\n", set("S", "k", "2"),
         "[S]\nk: 2\n"},
        {"CR LF lines written into an LF file", common_crlf, "[Service]\nExecStart=/bin/true\n",
         set("Service", "B", "2"), std::nullopt},
        {"a key beside one the common dialect reads as the same", exact, "[PHP]\nmemory_limit = 128M\n",
         set("PHP", "memory_limit", " 1G"), std::nullopt},
        {"a new key never continues the one before it", common, "[S]\n  a = 1\nb = 2\n", set("S", "c", "3"),
         "[S]\n  a = 1\nb = 2\nc = 3\n"},
        {"a value of several lines goes on continuation lines", common, "[S]\na = 1\n", set("S", "a", "x\ny"),
         "[S]\na = x\n    y\n"},
        {"a comment line inside a value that goes holds a lone LF in a CR LF file", common,
         "[S]\r\na = x\r\n;c\nd\r\n  y\r\n", set("S", "a", "x\nz"), std::nullopt},
        {"a value's further lines take the indent of the old value's", common, "[S]\na = x\n      y\nb = 2\n",
         set("S", "a", "x\nz"), "[S]\na = x\n      z\nb = 2\n"},
        {"a value equal to a first line that goes on is written again", common, "[S]\na = x\n  y\nb = 2\n",
         set("S", "a", "x"), "[S]\na = x\nb = 2\n"},
        {"the same where a read window of a few dozen bytes ends in the comments", common,
         "[F]\nf = 1\n# one comment\n# another comment\n  [S]\nk = 1\n", set("S", "k", "2"),
         "[F]\nf = 1\n# one comment\n# another comment\n  [S]\nk = 1\n\n[S]\nk=2\n"},
        {"an indented header after 140 KB of comments goes on with the value before them: no section S",
         common, "[F]\nf = 1\n" + comments(140 * 1024) + "  [S]\nk = 1\n", set("S", "k", "2"),
         "[F]\nf = 1\n" + comments(140 * 1024) + "  [S]\nk = 1\n\n[S]\nk=2\n"},
        {"an indented header after a long comment line that holds \"=\" opens its section", common,
         "[F]\nf = 1\nother\n#" + std::string(300 * 1024, 'x') + "=y\n  [S]\nk = 1\n", set("S", "k", "2"),
         "[F]\nf = 1\nother\n#" + std::string(300 * 1024, 'x') + "=y\n  [S]\nk = 2\n"},
        {"a header and a key behind indents longer than the read window", common,
         "[S]\n" + indent + "[T]\n" + indent + "k = 1\n", set("T", "k", "2"),
         "[S]\n" + indent + "[T]\n" + indent + "k = 2\n"},
    };
    return all;
}

TEST(Doors, EveryDoorGivesTheSameBytesOrTheSameRefusal) {
    for (const row& r : rows()) {
        for (const door d : all) {
            SCOPED_TRACE(std::string(r.why) + " (" + name_of(d) + ")");
            test::temp_dir dir;
            const std::string path = dir / "app.ini";
            test::write_file(path, r.before);
            const outcome o = apply(d, path, r.how, r.op);
            if (!r.after) {
                EXPECT_EQ(o.error, 5) << o.message;
                EXPECT_TRUE(test::read_file(path) == r.before) << "the file changed";
                EXPECT_FALSE(test::exists(path + ".twtemp"));
                continue;
            }
            EXPECT_EQ(o.error, 0) << o.message;
            const std::string after = test::read_file(path);
            EXPECT_TRUE(after == *r.after)
                << (after.size() < 200 ? after : std::to_string(after.size()) + " bytes");
        }
    }
}

// A path that holds a NUL names no file: error 52 at every door, before anything is touched.
TEST(Doors, APathHoldingANulIsErrorFiftyTwo) {
    test::temp_dir dir;
    const std::string target = dir / "target.ini";
    const std::string path = target + std::string("\0.bak", 5);
    for (const bool present : {false, true}) {
        if (present) test::write_file(target, "[S]\nk=1\n");
        for (const door d : {door::control, door::ini_file}) {
            SCOPED_TRACE(std::string(name_of(d)) + (present ? ", target there" : ", no target"));
            EXPECT_EQ(apply(d, path, common, set("S", "k", "2")).error, 52);
            if (present) {
                EXPECT_EQ(test::read_file(target), "[S]\nk=1\n");
            }
            EXPECT_EQ(test::exists(target), present);
        }
        penmoor::session::request r;
        r.what = penmoor::session::request::verb::set;
        r.section.emplace("S");
        r.key.emplace("k");
        r.value = "2";
        penmoor::session::options how;
        how.create = true;
        EXPECT_EQ(test::error_of([&] {
                      penmoor::session::run(path, how, std::span(&r, 1), [](const auto&) { return true; });
                  }),
                  52);
        EXPECT_EQ(test::exists(target), present);
    }
}

}  // namespace
