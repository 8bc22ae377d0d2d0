// penmoor::ini_snapshot and ini_text: one read of the whole file, every answer the one ini_file's pass
// gives; malformed lines listed or refused; a changed file told from its stamp; typed values.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "fault.hpp"
#include "penmoor/ini_file.hpp"
#include "program_error.hpp"
#include "temp_dir.hpp"

namespace {

using penmoor::ini_dialect;
using penmoor::ini_file;
using penmoor::text_encoding;

using test::number_of;

// Files whose lines try every rule of both dialects: repeated sections and keys, values of several lines
// (blank and comment lines inside, a backslash), settings before the first header, "name: value", line
// ends of every kind, a byte-order mark, Windows-1252 and bytes that are not UTF-8, malformed lines.
const std::vector<std::string> files{
    "[A]\nk=1\n[B]\nk=2\n[A]\nk=3\nj = x \n",
    "root = 1\n[A]\n  k = first\n    goes on\n\n  # note\n    and on\nnext: v\n[A ] ; c\nk=\n",
    "[A]\r\nk=a\\\r\nb\r\n[A]\r\nk=a\nb\r\nx=1\r",
    "\xEF\xBB\xBF[Caf\xC3\xA9]\nt\xC3\xA9=\xE2\x82\xAC\n[A]\nk=\xFF\n",
    "[Caf\xE9]\r\nk=\x80\r\n",
    "[A]\nk=1\n[A]\nj=2\n[B]\n[A]\nl=3\n[\nk=4\n[]\ne=5\na=\n",
    "k=0\n[Window\nw=1\n[W] x\nplain line\n  [A]  \n=v\n",
    "",
    "\n\n[S]\n\n",
};

std::vector<penmoor::file_options> formats() {
    std::vector<penmoor::file_options> all;
    for (const auto dialect : {ini_dialect::common, ini_dialect::exact}) {
        for (const auto encoding :
             {text_encoding::as_found, text_encoding::utf8, text_encoding::windows_1252}) {
            for (const auto ends : {penmoor::line_ends::as_found, penmoor::line_ends::crlf}) {
                penmoor::file_options o;
                o.dialect = dialect;
                o.encoding = encoding;
                o.line_ends = ends;
                all.push_back(o);
            }
        }
    }
    return all;
}

// Every question asked of ini_file is answered alike by its snapshot and by ini_text of the same bytes.
TEST(Snapshot, AnswersAsTheFileDoes) {
    test::temp_dir dir;
    for (std::size_t f = 0; f < files.size(); ++f) {
        for (const penmoor::file_options& o : formats()) {
            SCOPED_TRACE("file " + std::to_string(f) + " dialect " + std::to_string(int(o.dialect)) +
                         " encoding " + std::to_string(int(o.encoding)) + " ends " +
                         std::to_string(int(o.line_ends)));
            test::write_file(dir / "a.ini", files[f]);
            const ini_file file(dir / "a.ini", o);
            const penmoor::ini_snapshot snapshot = file.read();
            const penmoor::ini_text text(files[f], o);
            ASSERT_EQ(snapshot.sections(), file.sections());
            ASSERT_EQ(text.sections(), file.sections());
            std::vector<std::string> sections = file.sections();
            sections.insert(sections.end(), {"", "A", "missing", "Caf\xC3\xA9"});
            for (const std::string& s : sections) {
                ASSERT_EQ(snapshot.contains(s), file.contains(s)) << s;
                ASSERT_EQ(snapshot.keys(s), file.keys(s)) << s;
                ASSERT_EQ(text.keys(s), file.keys(s)) << s;
                std::vector<std::string> keys = file.keys(s);
                keys.insert(keys.end(), {"k", "missing", "t\xC3\xA9"});
                for (const std::string& k : keys) {
                    ASSERT_EQ(snapshot.get(s, k), file.get(s, k)) << s << " " << k;
                    ASSERT_EQ(text.get(s, k), file.get(s, k)) << s << " " << k;
                    ASSERT_EQ(snapshot.contains(s, k), file.contains(s, k)) << s << " " << k;
                }
            }
        }
    }
}

// The snapshot is one open and one read of the file, whatever its size; a missing file reads as empty
// where the options let the first change make it, else it is the error ini_file gives.
TEST(Snapshot, IsOneOpenAndOneRead) {
    test::temp_dir dir;
    std::string big;
    for (int i = 0; big.size() < 20000; ++i)
        big += "[S" + std::to_string(i % 40) + "]\nkey" + std::to_string(i) + " = value\n";
    test::write_file(dir / "big.ini", big);
    {
        test::fault_injector calls;
        const penmoor::ini_snapshot s = ini_file(dir / "big.ini").read();
        EXPECT_EQ(calls.count(test::call::open), 1);
        EXPECT_EQ(calls.count(test::call::read), 1);
        EXPECT_EQ(s.get("S1", "key1"), "value");
    }
    {
        test::fault_injector faults;
        faults.short_counts(7000);  // a short read is never the end
        EXPECT_EQ(ini_file(dir / "big.ini").read().keys("S39").size(),
                  ini_file(dir / "big.ini").keys("S39").size());
    }
    EXPECT_TRUE(ini_file(dir / "none/x.ini").read().sections().empty());
    EXPECT_EQ(number_of([&] { ini_file(dir / "x.ini", {.create = false}).read(); }), 53);
    EXPECT_EQ(number_of([&] { ini_file(dir.path(), {.create = false}).read(); }), 75);
}

// Lines that are none of the dialect's are listed with their number and why, or, refused, the first of
// them is error 5 naming it.
TEST(Snapshot, ListsOrRefusesMalformedLines) {
    struct row {
        std::string text;
        ini_dialect dialect;
        std::vector<std::size_t> lines;  // the problems' line numbers
        std::string why;                 // a word of the first one's reason
    };
    const std::vector<row> rows{
        {"[Window\nWidth=1\n", ini_dialect::common, {1}, "\"]\""},
        {"[W] x\nplain\n  # c\n\n[ok] ; c\nk: v\n  goes on\n", ini_dialect::common, {1, 2}, "\"]\""},
        {"[W]\nno equals\n", ini_dialect::common, {2}, "\"=\""},
        {"[W]\n\n; c\nk=v\n", ini_dialect::exact, {3}, "\"=\""},
        {"[W\nk=v\n[W] \n", ini_dialect::exact, {1, 3}, "\"]\""},
        {"[W]\n k = v \n\n", ini_dialect::common, {}, ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        penmoor::file_options o;
        o.dialect = r.dialect;
        const penmoor::ini_text text(r.text, o);
        std::vector<std::size_t> lines;
        for (const penmoor::ini_problem& p : text.problems()) lines.push_back(p.line);
        EXPECT_EQ(lines, r.lines);
        if (r.lines.empty()) {
            EXPECT_EQ(number_of([&] { penmoor::ini_text(r.text, o, penmoor::malformed_lines::refused); }), 0);
            continue;
        }
        EXPECT_NE(text.problems().front().why.find(r.why), std::string::npos) << text.problems().front().why;
        try {
            penmoor::ini_text refused(r.text, o, penmoor::malformed_lines::refused);
            ADD_FAILURE() << "no error";
        } catch (const penmoor::error& e) {
            EXPECT_EQ(e.number(), 5);
            EXPECT_NE(std::string(e.what()).find("line " + std::to_string(r.lines.front())),
                      std::string::npos)
                << e.what();
        }
    }
    test::temp_dir dir;
    test::write_file(dir / "bad.ini", "[A]\nk=1\n[Window\n");
    const ini_file file(dir / "bad.ini");
    EXPECT_EQ(file.read().problems().at(0).path, dir / "bad.ini");
    EXPECT_EQ(number_of([&] { file.read(penmoor::malformed_lines::refused); }), 5);
}

// changed() says whether the file is still the one read: a replacement, an edit in place that keeps the
// size and the modification time, a file that appears or goes away.
TEST(Snapshot, TellsAChangedFile) {
    test::temp_dir dir;
    ini_file file(dir / "app.ini");
    penmoor::ini_snapshot missing = file.read();
    EXPECT_FALSE(missing.changed());
    file.set("A", "k", "1");
    EXPECT_TRUE(missing.changed());
    penmoor::ini_snapshot s = file.read();
    EXPECT_FALSE(s.changed());
    EXPECT_EQ(s.stamp(), penmoor::file_stamp::of(file.path()));
    file.set("A", "k", "2");  // the same size
    EXPECT_TRUE(s.changed());
    s = file.read();
    struct stat before;
    ASSERT_EQ(::stat(file.path().c_str(), &before), 0);
    test::write_file(file.path(), "[A]\nk=3\n");  // in place, then the time put back
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.path().c_str(), times, 0), 0);
    EXPECT_TRUE(s.changed());
    s = file.read();
    EXPECT_EQ(s.get("A", "k"), "3");
    ASSERT_EQ(::unlink(file.path().c_str()), 0);
    EXPECT_TRUE(s.changed());
}

// Booleans in every spelling, numbers, lists; a missing key is nothing, text of another type error 13
// naming the section, key and text; get_or gives the fallback for both. Written values read back.
TEST(TypedValues, BooleansNumbersAndLists) {
    const std::vector<std::pair<std::string, std::optional<bool>>> booleans{
        {"true", true}, {"TRUE", true}, {" Yes ", true}, {"on", true}, {"1", true},  {"false", false},
        {"No", false},  {"OFF", false}, {"0", false},    {"2", {}},    {"yess", {}}, {"", {}}};
    for (const auto& [text, value] : booleans) {
        const penmoor::ini_text t("[S]\nb=" + text + "\n");
        EXPECT_EQ(t.get_or("S", "b", !value.value_or(false)), value ? *value : !value.value_or(false))
            << text;
        if (value) {
            EXPECT_EQ(t.get_as<bool>("S", "b"), value) << text;
        } else {
            EXPECT_EQ(number_of([&] { t.get_as<bool>("S", "b"); }), 13) << text;
        }
    }
    const penmoor::ini_text t(
        "[S]\nn = 12\nf=0.5\nbig=99999999999\nword=wide\nl = a; b;;c;\nc=x , y\ne=\nlast=a;\n");
    EXPECT_EQ(t.get_as<int>("S", "n"), 12);
    EXPECT_EQ(t.get_as<int>("S", "none"), std::nullopt);
    EXPECT_EQ(t.get_as<double>("S", "f"), 0.5);
    EXPECT_EQ(t.get_or("S", "big", 7), 7);
    EXPECT_EQ(t.get_or("S", "word", 7), 7);
    try {
        t.get_as<int>("S", "word");
        ADD_FAILURE() << "no error";
    } catch (const penmoor::error& e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_NE(std::string(e.what()).find("[S] word = 'wide'"), std::string::npos) << e.what();
    }
    using list = std::vector<std::string>;
    EXPECT_EQ(t.get_list("S", "l"), (list{"a", "b", "", "c"}));
    EXPECT_EQ(t.get_list("S", "c", ','), (list{"x", "y"}));
    EXPECT_EQ(t.get_list("S", "e"), list{});
    EXPECT_EQ(t.get_list("S", "last"), list{"a"});
    EXPECT_EQ(t.get_list("S", "none"), std::nullopt);

    test::temp_dir dir;
    ini_file file(dir / "t.ini");
    for (const list& items : {list{"a", "b"}, list{"a", ""}, list{""}, list{}, list{"zoë", "x y"}}) {
        file.set_list("L", "k", items);
        EXPECT_EQ(file.read().get_list("L", "k"), items);
        file.set_list("L", "c", items, ',');
        EXPECT_EQ(file.read().get_list("L", "c", ','), items);
    }
    const std::string before = test::read_file(file.path());
    EXPECT_EQ(number_of([&] { file.set_list("L", "k", {"a;b"}); }), 5);
    EXPECT_EQ(number_of([&] { file.set_list("L", "k", {" a"}); }), 5);
    EXPECT_EQ(test::read_file(file.path()), before);
    ini_file::batch(file).set("B", "on", true).set("B", "off", false).set("B", "n", 3).commit();
    EXPECT_EQ(file.get("B", "on"), "true");
    EXPECT_FALSE(file.get_or("B", "off", true));
    EXPECT_EQ(file.read().get_as<int>("B", "n"), 3);
}

}  // namespace
