// penmoor::ini_file, the interface for programs: UTF-8 in and out, a missing file made by the first
// change, failures as one error type, several changes as one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fault.hpp"
#include "penmoor/ini_file.hpp"
#include "program_error.hpp"
#include "temp_dir.hpp"

namespace {

using penmoor::ini_file;

using test::number_of;

// Settings kept in a file that is made when missing, read back with defaults: the file is UTF-8 with LF.
TEST(IniFile, KeepsAProgramsSettingsInAUtf8File) {
    test::temp_dir dir;
    ini_file settings(dir / "settings.ini");
    EXPECT_EQ(settings.get_or("Window", "Width", 640), 640);
    settings.set("Window", "Width", 800);
    settings.set("Window", "File", "/home/zoë/doc.txt");
    EXPECT_EQ(settings.get_or("Window", "Width", 640), 800);
    EXPECT_EQ(settings.get_or("Window", "File", ""), "/home/zoë/doc.txt");
    EXPECT_EQ(settings.get_or("Window", "Height", 480.5), 480.5);
    EXPECT_EQ(test::read_file(dir / "settings.ini"), "[Window]\nWidth=800\nFile=/home/zoë/doc.txt\n");
    EXPECT_EQ(settings.sections(), std::vector<std::string>{"Window"});
    EXPECT_EQ(settings.keys("Window"), (std::vector<std::string>{"Width", "File"}));
    EXPECT_TRUE(settings.erase("Window", "Width"));
    EXPECT_FALSE(settings.erase("Window", "Width"));
    EXPECT_TRUE(settings.contains("Window", "File"));
    EXPECT_TRUE(settings.erase("Window"));
    EXPECT_FALSE(settings.contains("Window"));
}

// A Windows-1252 file reads as UTF-8 and takes what it can hold; what it cannot is refused, with the file
// untouched. So are line breaks, and a missing file where creating is not allowed.
TEST(IniFile, FailuresCarryANumberThePathAndAReason) {
    test::temp_dir dir;
    test::write_file(dir / "latin.ini", "[S]\r\nk=caf\xE9\r\n");
    ini_file latin(dir / "latin.ini");
    EXPECT_EQ(latin.get("S", "k"), "café");
    latin.set("S", "j", "é€");
    EXPECT_EQ(test::read_file(dir / "latin.ini"), "[S]\r\nk=caf\xE9\r\nj=\xE9\x80\r\n");
    try {
        latin.set("S", "j", "中");
        ADD_FAILURE() << "no error";
    } catch (const penmoor::error& e) {
        EXPECT_EQ(e.number(), 5);
        EXPECT_EQ(e.path(), dir / "latin.ini");
        EXPECT_NE(std::string(e.what()).find("U+4E2D"), std::string::npos) << e.what();
    }
    EXPECT_EQ(number_of([&] { latin.set("S", "k", "two\n"); }), 5);  // no continuation line keeps the last
    EXPECT_EQ(number_of([&] { latin.set("S", "k\n", "two"); }), 5);
    EXPECT_EQ(number_of([&] { latin.set("S", "a=b", "x"); }), 5);
    EXPECT_EQ(number_of([&] { latin.set("S", " padded", "x"); }), 5);
    EXPECT_EQ(test::read_file(dir / "latin.ini"), "[S]\r\nk=caf\xE9\r\nj=\xE9\x80\r\n");

    ini_file strict(dir / "none.ini", {.create = false});
    EXPECT_EQ(number_of([&] { strict.get("S", "k"); }), 53);
    EXPECT_EQ(number_of([&] { ini_file(dir / "no/such/dir.ini", {.create = false}).set("S", "k", "v"); }),
              76);
}

// A batch is one read and one replacement of the file, its changes in order; without commit, nothing.
TEST(IniFile, ABatchIsOneChange) {
    test::temp_dir dir;
    ini_file file(dir / "app.ini");
    file.set("A", "keep", "1");
    {
        ini_file::batch unfinished(file);
        unfinished.set("A", "lost", "1");
    }
    test::fault_injector calls;
    ini_file::batch b(file);
    b.set("A", "x", "1").set("B", "y", "2").erase("A", "keep").set("B", "y", "3");
    EXPECT_TRUE(b.commit());
    EXPECT_EQ(calls.count(test::call::rename), 1);
    EXPECT_EQ(test::read_file(dir / "app.ini"), "[A]\nx=1\n\n[B]\ny=3\n");
}

// A first run: the file and its directory are missing. Reads answer as for a missing file; the first
// change makes the directories (the user's alone) and the file. Where creating is not allowed, the
// error's hint says what would help; a link that leads nowhere is told as such.
TEST(IniFile, AFirstRunReadsDefaultsAndTheFirstChangeMakesTheDirectories) {
    test::temp_dir dir;
    ini_file settings(dir / "config/myapp/settings.ini");
    EXPECT_EQ(settings.get_or("Window", "Width", 640), 640);
    EXPECT_FALSE(settings.contains("Window"));
    EXPECT_TRUE(settings.sections().empty());
    EXPECT_FALSE(settings.erase("Window", "Width"));  // nothing to erase: no directory made for it
    EXPECT_FALSE(test::exists(dir / "config"));
    const mode_t mask = ::umask(022);
    settings.set("Window", "Width", 800);
    ::umask(mask);
    struct stat st;
    ASSERT_EQ(::stat((dir / "config/myapp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(test::read_file(dir / "config/myapp/settings.ini"), "[Window]\nWidth=800\n");

    const auto message_of = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const penmoor::error& e) {
            return std::to_string(e.number()) + " " + e.what();
        }
        return std::string("no error");
    };
    const std::string strict =
        message_of([&] { ini_file(dir / "other/x.ini", {.create = false}).get("S", "k"); });
    EXPECT_EQ(strict.substr(0, 3), "76 ") << strict;
    EXPECT_NE(strict.find("file_options::create"), std::string::npos) << strict;
    ASSERT_EQ(::symlink("nowhere.ini", (dir / "dangling.ini").c_str()), 0);
    const std::string dangling = message_of([&] { ini_file(dir / "dangling.ini").set("S", "k", "v"); });
    EXPECT_EQ(dangling.substr(0, 3), "53 ") << dangling;
    EXPECT_NE(dangling.find("leads to no file"), std::string::npos) << dangling;
    EXPECT_EQ(dangling.find("file_options::create"), std::string::npos) << dangling;
}

// Numbers read with blanks around them (in either dialect), never from "nan" or "inf"; numbers written by
// a batch; a batch whose commit failed keeps its changes for another try.
TEST(IniFile, NumbersAndAFailedCommit) {
    test::temp_dir dir;
    test::write_file(dir / "n.ini", "[N]\nint= 12\nnan=nan\ninf=inf\nhalf=0.5\n");
    ini_file exact(dir / "n.ini", {.dialect = penmoor::ini_dialect::exact});
    EXPECT_EQ(exact.get_or("N", "int", 0), 12);
    EXPECT_EQ(exact.get_or("N", "nan", 1.5), 1.5);
    EXPECT_EQ(exact.get_or("N", "inf", 1.5), 1.5);
    EXPECT_EQ(exact.get_or("N", "half", 1.5), 0.5);

    ini_file file(dir / "app.ini");
    ini_file::batch b(file);
    b.set("A", "width", 800).set("A", "ratio", 0.25).set("A", "name", "x");
    {
        test::fault_injector faults;
        faults.fail(test::call::write, 1, ENOSPC, true);
        EXPECT_EQ(number_of([&] { b.commit(); }), 61);
    }
    EXPECT_FALSE(test::exists(dir / "app.ini"));
    EXPECT_TRUE(b.commit());
    EXPECT_EQ(test::read_file(dir / "app.ini"), "[A]\nwidth=800\nratio=0.25\nname=x\n");
    EXPECT_FALSE(b.commit());  // done with
}

}  // namespace
