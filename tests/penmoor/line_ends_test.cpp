// The writer's extensions: line ends (LineEnds 0, 1 and 2) against every operation, a
// batch of edits as one change, and the lists of headers and settings for C++ callers.
#include <sys/stat.h>

#include <cerrno>

#include "fault.hpp"
#include "fixture.hpp"
#include "tarnwick/files/utf8.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

const std::string kLf = "[A]\nx=1\n[B]\ny=2\n";
const std::string kCrLf = "[A]\r\nx=1\r\n[B]\r\ny=2\r\n";

class LineEnds : public writer_test {
  protected:
    void bind_with(std::string_view content, std::int16_t mode) {
        bind(content);
        control.LineEnds(mode);
    }
};

// Each edit of an LF file, with LineEnds 1 and with 2 (which finds LF), comes out LF only, byte for byte.
TEST_F(LineEnds, AnLfFileIsReadAndEditedAsLinesAndStaysLf) {
    const struct {
        const char* name;
        std::function<platform::boolean(penmoor::ini&)> run;
        std::string after;
    } edits[] = {
        {"addHeader", [](penmoor::ini& c) { return c.addHeader(u"C"); }, kLf + "\n\n[C]\n"},
        {"addSetting", [](penmoor::ini& c) { return c.addSetting(u"A", u"z", u"3"); },
         "[A]\nz=3\nx=1\n[B]\ny=2\n"},
        {"updateSetting", [](penmoor::ini& c) { return c.updateSetting(u"A", u"x", u"9"); },
         "[A]\nx=9\n[B]\ny=2\n"},
        {"deleteSetting", [](penmoor::ini& c) { return c.deleteSetting(u"B", u"y"); }, "[A]\nx=1\n[B]\n"},
        {"deleteHeader", [](penmoor::ini& c) { return c.deleteHeader(u"A"); }, "\n\n[B]\ny=2\n"},
    };
    for (const std::int16_t mode : {std::int16_t{1}, std::int16_t{2}}) {
        for (const auto& e : edits) {
            bind_with(kLf, mode);
            SCOPED_TRACE(std::string(e.name) + " with LineEnds " + std::to_string(mode));
            EXPECT_EQ(e.run(control), T);
            EXPECT_EQ(content(), e.after);
        }
        bind_with(kLf, mode);
        EXPECT_EQ(control.isHeader(u"B"), T);
        EXPECT_EQ(control.isSetting(u"A", u"x"), T);
        EXPECT_EQ(control.getSetting(u"B", u"y"), u"2");
        EXPECT_EQ(control.isSetting(u"A", u"y"), F);
        EXPECT_THAT(events.take(), ElementsAre("State 2"));
    }
}

// LineEnds 0, the default, is the format's own: an LF file is one line, and lines written end
// with CR LF.
TEST_F(LineEnds, ZeroKeepsAnLfFileOneLine) {
    bind(kLf);
    EXPECT_EQ(control.LineEnds(), 0);
    EXPECT_EQ(control.isHeader(u"A"), F);
    EXPECT_EQ(control.addHeader(u"A"), T);
    EXPECT_EQ(content(), kLf + "\r\n\r\n[A]\r\n");
}

// LineEnds 2 takes each file as its first line end says: CR LF (or a lone CR) means the format's
// rules, a lone LF or no line end at all means LF.
TEST_F(LineEnds, TwoGoesByTheFirstLineEndOfTheFile) {
    bind_with(kCrLf, 2);
    EXPECT_EQ(control.updateSetting(u"A", u"x", u"9"), T);
    EXPECT_EQ(content(), "[A]\r\nx=9\r\n[B]\r\ny=2\r\n");
    bind_with("[A]\r\nx=1\ny=2\r\n", 2);  // a lone LF after a first CR LF stays in its line
    EXPECT_EQ(control.getSetting(u"A", u"x"), u"1\ny=2");
    bind_with("", 2);
    EXPECT_EQ(control.addHeader(u"S"), T);
    EXPECT_EQ(content(), "\n\n[S]\n");
    EXPECT_EQ(control.addSetting(u"S", u"k", u"v"), T);
    EXPECT_EQ(content(), "\n\n[S]\nk=v\n");
}

// With LineEnds 1 a file whose lines end with CR LF is read as lines too, and a rewrite leaves LF only.
TEST_F(LineEnds, OneNormalisesEveryLineEndToLf) {
    bind_with("[A]\r\nx=1\ry=2\r\n[B]", 1);
    EXPECT_EQ(control.updateSetting(u"A", u"x", u"9"), T);
    EXPECT_EQ(content(), "[A]\nx=9\ny=2\n[B]\n");
}

TEST_F(LineEnds, OtherValuesAndLineFeedsInWrittenTextAreErrorFive) {
    bind(kLf);
    for (const std::int16_t bad : {std::int16_t{-1}, std::int16_t{3}, std::int16_t{32767}})
        EXPECT_EQ(error_of([&] { control.LineEnds(bad); }), 5);
    EXPECT_EQ(control.LineEnds(), 0);
    for (const std::int16_t mode : {std::int16_t{1}, std::int16_t{2}}) {
        control.LineEnds(mode);
        EXPECT_EQ(error_of([&] { control.addSetting(u"A", u"k", u"a\nb"); }), 5);
        EXPECT_EQ(error_of([&] { control.updateSetting(u"A", u"x\n", u"1"); }), 5);
        EXPECT_EQ(error_of([&] { control.addHeader(u"C\nD"); }), 5);
    }
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(content(), kLf);
    control.LineEnds(0);  // there an LF is part of the line, and may be written
    EXPECT_EQ(control.addHeader(u"C\nD"), T);
}

class Batch : public writer_test {};

// Several edits become one change: one replacement of the file, with one flush of its data, at commit.
TEST_F(Batch, EditsBecomeOneChangeAtCommit) {
    bind(kCrLf);
    struct stat before {};
    ::stat((dir / "app.ini").c_str(), &before);
    fault_injector faults;
    {
        penmoor::batch b(control);
        EXPECT_EQ(control.updateSetting(u"A", u"x", u"9"), T);
        EXPECT_EQ(control.addSetting(u"B", u"z", u"3"), T);
        EXPECT_EQ(control.deleteSetting(u"B", u"y"), T);
        EXPECT_EQ(control.addHeader(u"C"), T);
        EXPECT_EQ(control.getSetting(u"B", u"z"), u"3");  // the batch's lookups see its edits
        EXPECT_EQ(content(), kCrLf);                      // the file does not, yet
        EXPECT_EQ(faults.count(call::fsync), 0);
        EXPECT_EQ(faults.count(call::rename), 0);
        b.commit();
    }
    EXPECT_EQ(faults.count(call::fsync), 2);  // the new content, then its directory
    EXPECT_EQ(faults.count(call::rename), 1);
    EXPECT_EQ(content(), "[A]\r\nx=9\r\n[B]\r\nz=3\r\n\r\n\r\n[C]\r\n");
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
}

// A batch that ends without commit, after a failed edit for instance, leaves the file as it was.
TEST_F(Batch, WithoutCommitTheFileStaysAsItWas) {
    bind(kCrLf);
    {
        penmoor::batch b(control);
        EXPECT_EQ(control.updateSetting(u"A", u"x", u"9"), T);
        fault_injector faults;
        faults.fail(call::write, 1, ENOSPC);
        EXPECT_EQ(error_of([&] { control.addSetting(u"B", u"z", u"3"); }), 61);
    }
    EXPECT_EQ(content(), kCrLf);
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
    {
        penmoor::batch b(control);
        EXPECT_EQ(control.addSetting(u"B", u"y", u"1"), F);  // nothing to change: the commit changes nothing
        b.commit();
    }
    EXPECT_EQ(content(), kCrLf);
    // The lock is the batch's: another control of this thread may not edit the file meanwhile.
    penmoor::ini other;
    other.File(u16(dir / "app.ini"));
    penmoor::batch b(control);
    EXPECT_EQ(error_of([&] { other.updateSetting(u"A", u"x", u"2"); }), 55);
    EXPECT_EQ(error_of([&] { penmoor::batch second(control); }), 55);
    penmoor::ini unbound;
    EXPECT_EQ(error_of([&] { penmoor::batch none(unbound); }), 5);
}

class Lists : public writer_test {};

TEST_F(Lists, HeadersAndTheSettingsOfASectionAsTheyStand) {
    bind("x=0\r\n[A]\r\nk=1\r\n; note\r\n[A]\r\nk=2\r\n[b=c]\r\nv=w=z\r\n[unclosed\r\n[]\r\n =blank\r\n");
    std::vector<std::string> headers;
    EXPECT_EQ(
        control.listHeaders([&](const platform::string& h) { headers.push_back(platform::to_utf8(h)); }), T);
    EXPECT_THAT(headers, ElementsAre("A", "A", "b=c", ""));
    std::vector<std::string> settings;
    auto collect = [&](const platform::string& name, const platform::string& value) {
        settings.push_back(platform::to_utf8(name) + "|" + platform::to_utf8(value));
    };
    EXPECT_EQ(control.listSettings(u"A", collect), T);  // on past the repeat, as the lookups read
    EXPECT_EQ(control.listSettings(u"b=c", collect), T);
    EXPECT_EQ(control.listSettings(u"", collect), T);
    EXPECT_THAT(settings, ElementsAre("k|1", "k|2", "v|w=z", " |blank"));
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.listSettings(u"missing", collect), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1"));
}

}  // namespace
