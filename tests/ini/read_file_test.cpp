// Loading a file: its lines and bytes, missing and unusable paths, failures, and a file that changes.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "fault.hpp"
#include "fixture.hpp"
#include "numbered.hpp"
#include "tarnwick/files/buffer_pool.hpp"

namespace {

using namespace test;

class ReadFile : public reader_test {};

TEST_F(ReadFile, LoadsEveryLineOfTheFile) {
    EXPECT_EQ(load("[a]\r\nx=1\r\ny=2\r\n[b]\r\n[c]\r\nz=3\r\n"), platform::True);
    EXPECT_THAT(headers(), ElementsAre(u"a", u"b", u"c"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1", u"y=2"));
    EXPECT_EQ(control.GetSettings(u"b"), -1);
    EXPECT_EQ(control.RCS(u"c", u"z"), u"3");
}

TEST_F(ReadFile, LinesEndAtCrLfOrALoneCrAndALoneLfStaysInTheLine) {
    EXPECT_EQ(load("[a]\rx=1\n[b]\r\ny=2\r\r\n=\r[c]"), platform::True);
    EXPECT_THAT(headers(), ElementsAre(u"a", u"c"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1\n[b]", u"y=2"));
}

// LineEnds, an extension: 1 makes a lone LF end a line too, 2 goes by the file's first
// line end; 0, the default, is the rule above. Other values are error 5 and change nothing.
TEST_F(ReadFile, LineEndsOneOrTwoReadAnLfFileAsLines) {
    const std::string lf = "[a]\nx=1\r\ny=2\rz=3\n[b]\n";
    EXPECT_EQ(load(lf), platform::True);
    EXPECT_THAT(headers(), IsEmpty());  // one line, which does not end with "]"
    for (const std::int16_t mode : {std::int16_t{1}, std::int16_t{2}}) {
        control.LineEnds(mode);
        EXPECT_EQ(control.LineEnds(), mode);
        EXPECT_EQ(load(lf), platform::True);
        EXPECT_THAT(headers(), ElementsAre(u"a", u"b"));
        EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1", u"y=2", u"z=3"));
    }
    EXPECT_EQ(load("[a]\r\nx=1\ny=2\n"), platform::True);  // with 2: CR LF first, so LF stays in the line
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1\ny=2\n"));
    EXPECT_EQ(error_of([&] { control.LineEnds(3); }), 5);
    EXPECT_EQ(error_of([&] { control.LineEnds(-1); }), 5);
    EXPECT_EQ(control.LineEnds(), 2);
    control.InputConf(u"[c\nd]");  // a line given is taken as it is
    EXPECT_EQ(control.FindHeader(u"c\nd"), platform::True);
}

// Reads that return a few bytes at a time split lines, CR LF pairs and the blocks a line is scanned in
// at every place: the tables are those of a file read whole.
TEST_F(ReadFile, ShortReadsLoadTheSameTables) {
    // The first CR LF straddles the end of the first block of 64 bytes.
    const std::string bytes = "[a]\r\nx=" + std::string(56, 'p') +
                              "\r\nw=1\r\r\n[b]\rlong=" + std::string(150, 'v') + "=\n=\r\nk==v\r\n[" +
                              std::string(70, 'c') + "]\n\r\ny=2\rz=\n";
    for (const std::int16_t mode : {std::int16_t{0}, std::int16_t{1}}) {
        control.LineEnds(mode);
        ASSERT_EQ(load(bytes), platform::True);
        const auto whole_headers = headers();
        std::vector<std::vector<std::u16string>> whole_settings;
        for (const auto& h : whole_headers) whole_settings.push_back(settings(h));
        for (const std::size_t most : {1, 2, 3, 63, 65}) {
            fault_injector faults;
            faults.short_counts(most);
            ASSERT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
            ASSERT_EQ(headers(), whole_headers) << most;
            for (std::size_t k = 0; k < whole_headers.size(); ++k) {
                EXPECT_EQ(settings(whole_headers[k]), whole_settings[k]) << most;
            }
        }
    }
}

TEST_F(ReadFile, EmptyFileLoadsNothing) {
    EXPECT_EQ(load(""), platform::True);
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
    EXPECT_EQ(load("\r\n\r\n"), platform::True);
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
}

TEST_F(ReadFile, BytesAreWindows1252AndAnyByteLoads) {
    std::string bytes = "[\x80\x81\xff]\r\n";
    bytes += std::string("n\0=\0\x9d", 5) + "\r\n";
    bytes += "caf\xe9=\x93q\x94\r\n";
    ASSERT_EQ(load(bytes), platform::True);
    const std::u16string header = u"\u20ac\u0081\u00ff";
    EXPECT_THAT(headers(), ElementsAre(header));
    EXPECT_EQ(control.RCS(header, std::u16string(u"n\0", 2)), std::u16string(u"\0\u009d", 2));
    EXPECT_EQ(control.RCS(header, u"caf\u00e9"), u"\u201cq\u201d");
}

TEST_F(ReadFile, VeryLongLinesLoad) {
    const std::string value(10 * 1024 * 1024, 'v');
    ASSERT_EQ(load("[a]\r\nk=" + value + "\r\n[" + value + "]\r\nz=1"), platform::True);
    EXPECT_EQ(control.RCS(u"a", u"k").size(), value.size());
    EXPECT_EQ(control.RCS(u"a", u"k"), platform::string(value.begin(), value.end()));
    EXPECT_EQ(control.GetHeaderAtPosition(1).size(), value.size());
    EXPECT_EQ(control.ReadAtPosition(platform::string(value.begin(), value.end()), 0), u"1");
}

TEST_F(ReadFile, SettingsBeforeTheFirstHeaderAreIgnoredAndTheRestLoads) {
    EXPECT_EQ(load("top=1\r\n[a]\r\nx=2\r\n"), platform::True);
    EXPECT_THAT(headers(), ElementsAre(u"a"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=2"));
}

TEST_F(ReadFile, LinesFiledAfterALoadAreAppendedBehindIt) {
    ASSERT_EQ(load("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"), platform::True);
    control.InputConf(u"[extra]");
    control.InputConf(u"k=v");
    EXPECT_THAT(headers(), ElementsAre(u"a", u"b", u"extra"));
    EXPECT_EQ(control.RCS(u"extra", u"k"), u"v");
    EXPECT_EQ(control.RCS(u"b", u"y"), u"2");
    EXPECT_EQ(control.RCS(u"b", u"k"), u"");
    control.InputConf(u"w=3");  // goes to the open header, extra
    EXPECT_THAT(settings(u"extra"), ElementsAre(u"k=v", u"w=3"));
}

class NotAFile : public reader_test {
  protected:
    NotAFile() {
        write_file(dir / "app.ini", "[a]\r\nx=1\r\n");
        EXPECT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
    }
    void expect_empty() {
        EXPECT_EQ(control.GetNumberOfHeaders(), -1);
        EXPECT_EQ(control.RCS(u"a", u"x"), u"");
    }
};

TEST_F(NotAFile, PathThatNamesNoRegularFileGivesFalseAndEmptyTables) {
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((dir / "gone.ini").c_str(), (dir / "dangling").c_str()), 0);
    for (const std::string& path : {dir / "missing.ini", dir / "nodir/x.ini", dir / "sub", dir / "dangling",
                                    std::string(), std::string("/dev/null")}) {
        ASSERT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
        EXPECT_EQ(control.ReadFile(u16(path)), platform::False) << path;
        expect_empty();
    }
}

TEST_F(NotAFile, SymbolicLinkToAFileIsFollowed) {
    ASSERT_EQ(::symlink((dir / "app.ini").c_str(), (dir / "link.ini").c_str()), 0);
    control.ResetConf();
    EXPECT_EQ(control.ReadFile(u16(dir / "link.ini")), platform::True);
    EXPECT_EQ(control.RCS(u"a", u"x"), u"1");
}

TEST_F(NotAFile, PathThatCannotNameAFileIsErrorFiftyTwoAfterTheReset) {
    const std::u16string with_nul = u16(dir / "app.ini") + u'\0';
    EXPECT_EQ(error_of([&] { control.ReadFile(with_nul); }), platform::err::bad_file_name);
    expect_empty();
    ASSERT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
    const std::u16string lone_surrogate = u16(dir / "app") + char16_t{0xD800};
    EXPECT_EQ(error_of([&] { control.ReadFile(lone_surrogate); }), platform::err::bad_file_name);
    expect_empty();
}

class ReadFileErrors : public reader_test {};

TEST_F(ReadFileErrors, UnreadableFileIsTheFileSystemsErrorAfterTheReset) {
    ASSERT_EQ(load("[a]\r\nx=1\r\n"), platform::True);
    {
        fault_injector faults;
        faults.fail(call::open, 1, EACCES);
        EXPECT_EQ(error_of([&] { control.ReadFile(u16(dir / "app.ini")); }),
                  platform::err::permission_denied);
    }
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
    EXPECT_EQ(control.FindHeader(u"a"), platform::False);
    {
        fault_injector faults;
        faults.fail(call::read, 1, EIO);
        EXPECT_EQ(error_of([&] { control.ReadFile(u16(dir / "app.ini")); }), platform::err::device_io);
    }
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
}

TEST_F(ReadFileErrors, TooManyHeadersOrSettingsStopTheLoadWithErrorNineAndTheLinesBeforeItLoaded) {
    std::string headers_file;
    for (int i = 0; i <= tw_ini::header_capacity; ++i) headers_file += "[h" + std::to_string(i) + "]\r\n";
    EXPECT_EQ(error_of([&] { load(headers_file); }), platform::err::subscript);
    EXPECT_EQ(control.GetNumberOfHeaders(), 10000);
    EXPECT_EQ(control.GetHeaderAtPosition(10000), u"h10000");
    EXPECT_EQ(control.FindHeader(u"h10001"), platform::False);

    std::string settings_file = "[a]\r\n";
    for (int i = 0; i <= tw_ini::setting_capacity; ++i) settings_file += test::numbered("k", i) + "=v\r\n";
    settings_file += "[after]\r\n";
    EXPECT_EQ(error_of([&] { load(settings_file); }), platform::err::subscript);
    EXPECT_EQ(control.GetSettings(u"a"), 60000);
    EXPECT_EQ(control.RCS(u"a", u"k60000"), u"v");
    EXPECT_EQ(control.RCS(u"a", u"k60001"), u"");
    EXPECT_EQ(control.FindHeader(u"after"), platform::False);
}

TEST_F(ReadFileErrors, NoFileIsLeftOpenOnAnyPath) {
    const int before = open_descriptors();
    load("[a]\r\nx=1\r\n");
    control.ReadFile(u16(dir / "missing.ini"));
    error_of([&] { control.ReadFile(std::u16string(u"a\0b", 3)); });
    std::string too_many;
    for (int i = 0; i <= tw_ini::header_capacity; ++i) too_many += "[h]\r\n";
    error_of([&] { load(too_many); });
    {
        fault_injector faults;
        faults.fail(call::read, 1, EIO);
        error_of([&] { control.ReadFile(u16(dir / "app.ini")); });
    }
    EXPECT_EQ(open_descriptors(), before);
}

class ChangingFile : public reader_test {
  protected:
    // More than two reads of the line reader's buffer.
    ChangingFile() {
        const std::string filler = "filler=" + std::string(200, 'f') + "\r\n";
        for (headers = 0; content.size() <= 2 * platform::io_buffer_size || headers < 8; ++headers) {
            content +=
                "[h" + std::to_string(headers) + "]\r\nkey=value number " + std::to_string(headers) + "\r\n";
            for (int k = 0; k < 4; ++k) content += filler;
        }
        write_file(dir / "app.ini", content);
    }
    std::string content;
    std::int32_t headers = 0;
};

TEST_F(ChangingFile, FileThatShrinksWhileLoadingLoadsWhatWasRead) {
    fault_injector faults;
    faults.before(call::read, 2, [&] { ASSERT_EQ(::truncate((dir / "app.ini").c_str(), 10), 0); });
    EXPECT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
    // What the first read brought: at least the first section, never all of them.
    const std::int32_t last = control.GetNumberOfHeaders();
    EXPECT_GE(last, 0);
    EXPECT_LT(last, headers - 1);
    EXPECT_EQ(control.GetHeaderAtPosition(0), u"h0");
    EXPECT_EQ(control.RCS(u"h0", u"key"), u"value number 0");
}

TEST_F(ChangingFile, FileThatGrowsWhileLoadingLoadsAtLeastWhatItHeldAtFirst) {
    fault_injector faults;
    faults.before(call::read, 2, [&] { write_file(dir / "app.ini", content + content + "[late]\r\n"); });
    EXPECT_EQ(control.ReadFile(u16(dir / "app.ini")), platform::True);
    const std::u16string last = u16(test::numbered("h", headers - 1));
    EXPECT_GE(control.GetNumberOfHeaders(), headers - 1);
    EXPECT_EQ(control.GetHeaderAtPosition(headers - 1), last);
    EXPECT_EQ(control.RCS(last, u"key"), u16("value number " + std::to_string(headers - 1)));
}

}  // namespace
