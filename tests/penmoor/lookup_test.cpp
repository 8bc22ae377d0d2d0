#include <cerrno>

#include "fault.hpp"
#include "fixture.hpp"
#include "tarnwick/files/utf8.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

class IsHeader : public writer_test {};

TEST_F(IsHeader, MatchesTheWholeLineExactly) {
    bind("[Paths]\r\n[ Lead]\r\n[Trail] \r\n");
    EXPECT_EQ(control.isHeader(u"Paths"), T);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.isHeader(u" Lead"), T);
    EXPECT_THAT(events.take(), IsEmpty());
    for (const char16_t* miss : {u"paths", u" Paths", u"Paths ", u"Lead", u"Trail", u"Trail "}) {
        EXPECT_EQ(control.isHeader(miss), F) << platform::native_path(miss);
        EXPECT_THAT(events.take(), ElementsAre("State 1"));
    }
}

TEST_F(IsHeader, EmptyNameMatchesOnlyABareBracketPair) {
    bind("[x]\r\n");
    EXPECT_EQ(control.isHeader(u""), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1"));
    bind("[x]\r\n[]\r\n");
    EXPECT_EQ(control.isHeader(u""), T);
}

TEST_F(IsHeader, ANameHoldingALineBreakIsNeverFound) {
    bind("[a\r\nb]\r\n[a\nb]\r\n");
    EXPECT_EQ(control.isHeader(u"a\r\nb"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1"));
    EXPECT_EQ(control.isHeader(u"a\nb"), T);  // an LF stays in its line
}

TEST_F(IsHeader, EmptyFileHasNoSection) {
    bind("");
    EXPECT_EQ(control.isHeader(u"a"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1"));
}

TEST_F(IsHeader, LineEndsOfEveryKind) {
    bind("[a]\r[b]\n[c]\r\n[d]");
    EXPECT_EQ(control.isHeader(u"a"), T);
    EXPECT_EQ(control.isHeader(u"b"), F);  // "[b]\n[c]" is one line
    EXPECT_EQ(control.isHeader(u"b]\n[c"), T);
    EXPECT_EQ(control.isHeader(u"d"), T);  // the last line has no terminator
}

TEST_F(IsHeader, NamesCompareInTheFilesCharacterSet) {
    bind("[\x80uro \xE9t\xE9]\r\n[\x81]\r\n");
    EXPECT_EQ(control.isHeader(u"\u20ACuro \u00E9t\u00E9"), T);
    EXPECT_EQ(control.isHeader(u"\u0081"), T);
    EXPECT_EQ(control.isHeader(u"\u4E2D"), F);  // no byte form: cannot be in the file
    EXPECT_THAT(events.take(), ElementsAre("State 1"));
}

class IsSetting : public writer_test {};

TEST_F(IsSetting, SectionEndedByAFollowingHeaderLineReportsNoSetting) {
    bind("[A]\r\nx=1\r\n[B]\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"x"), T);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.isSetting(u"A", u"y"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2"));
    EXPECT_EQ(control.isSetting(u"B", u"y"), F);  // B runs to the end of the file: nothing reported
    EXPECT_THAT(events.take(), IsEmpty());
}

TEST_F(IsSetting, MissingSectionReportsNoHeaderTwice) {
    bind("[A]\r\nx=1\r\n[B]\r\n");
    EXPECT_EQ(control.isSetting(u"C", u"x"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1"));
    EXPECT_EQ(control.getSetting(u"C", u"x"), u"");
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1"));
}

TEST_F(IsSetting, AnyLineBeginningWithABracketEndsTheSection) {
    bind("[A]\r\n[B]\r\nx=1\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"x"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2"));
    EXPECT_EQ(control.isSetting(u"B", u"x"), T);
    bind("[A]\r\n[x=1\r\nx=1\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"x"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2"));
    bind("[A]\r\n[\r\nx=1\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"x"), F);
}

TEST_F(IsSetting, ARepeatOfTheHeaderLineContinuesTheSection) {
    bind("[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"y"), T);
    bind("[A]\r\nx=1\r\n[B]\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"y"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2"));
}

TEST_F(IsSetting, SettingNamesAreTheExactTextBeforeTheFirstEquals) {
    bind("[A]\r\nHome =C:\\x\r\n=v\r\nk=a=b\r\n; comment\r\n\r\nCase=1\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"Home"), F);
    EXPECT_EQ(control.isSetting(u"A", u"Home "), T);
    EXPECT_EQ(control.isSetting(u"A", u""), T);
    EXPECT_EQ(control.isSetting(u"A", u"k"), T);
    EXPECT_EQ(control.isSetting(u"A", u"k=a"), F);
    EXPECT_EQ(control.isSetting(u"A", u"; comment"), F);
    EXPECT_EQ(control.isSetting(u"A", u"case"), F);
}

TEST_F(IsSetting, LinesBeforeTheSectionAreNeverExamined) {
    bind("x=1\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(control.isSetting(u"A", u"x"), F);
    EXPECT_THAT(events.take(), IsEmpty());
}

class GetSetting : public writer_test {};

TEST_F(GetSetting, ValueIsEverythingAfterTheFirstEquals) {
    bind("[Paths]\r\nHome=C:\\x=y\r\nEmpty=\r\nHome=second\r\nLf=a\nb\r\nHigh=\xE9\x80\r\n");
    EXPECT_EQ(control.getSetting(u"Paths", u"Home"), u"C:\\x=y");
    EXPECT_EQ(control.getSetting(u"Paths", u"Empty"), u"");
    EXPECT_EQ(control.getSetting(u"Paths", u"Lf"), u"a\nb");
    EXPECT_EQ(control.getSetting(u"Paths", u"High"), u"\u00E9\u20AC");
    EXPECT_THAT(events.take(), IsEmpty());
}

TEST_F(GetSetting, MissesReportThroughTheLookupsOnly) {
    bind("[A]\r\nx=1\r\n[B]\r\n");
    EXPECT_EQ(control.getSetting(u"A", u"y"), u"");
    EXPECT_THAT(events.take(), ElementsAre("State 2"));
    EXPECT_EQ(control.getSetting(u"B", u"y"), u"");
    EXPECT_THAT(events.take(), IsEmpty());
}

// One read stands for the lookup's three: whatever the file holds when it is opened, the events and the
// value agree with it.
TEST_F(GetSetting, OneReadDecidesTheEventsAndTheValue) {
    const struct {
        const char* changed;
        std::vector<std::string> events;
        const char16_t* value;
    } cases[] = {{"[B]\r\n", {"State 1", "State 1"}, u""},
                 {"[A]\r\n[C]\r\nx=1\r\n", {"State 2"}, u""},
                 {"[A]\r\ny=1\r\n", {}, u""},
                 {"[A]\r\nx=2\r\n", {}, u"2"}};
    for (const auto& c : cases) {
        bind("[A]\r\nx=1\r\n");
        fault_injector faults;
        faults.before(call::open, 1, [&] { write_file(dir / "app.ini", c.changed); });
        EXPECT_EQ(control.getSetting(u"A", u"x"), c.value);
        EXPECT_EQ(events.take(), c.events) << c.changed;
        EXPECT_EQ(faults.count(call::open), 1);
    }
}

class NoFile : public writer_test {};

TEST_F(NoFile, EachLookupReportsNoFileOnce) {
    EXPECT_EQ(control.isHeader(u"A"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 4"));
    EXPECT_EQ(control.isSetting(u"A", u"x"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 4"));
    EXPECT_EQ(control.getSetting(u"A", u"x"), u"");
    EXPECT_THAT(events.take(), ElementsAre("State 4"));
}

class LookupErrors : public writer_test {};

TEST_F(LookupErrors, VanishedOrUnreadableFileIsARunTimeErrorWithoutEvents) {
    bind("[A]\r\n");
    ASSERT_EQ(std::remove((dir / "app.ini").c_str()), 0);
    EXPECT_EQ(error_of([&] { control.isHeader(u"A"); }), 53);
    EXPECT_EQ(error_of([&] { control.getSetting(u"A", u"x"); }), 53);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.File(), u16(dir / "app.ini"));

    bind("[A]\r\n");
    fault_injector faults;
    faults.fail(call::open, 1, EACCES);
    EXPECT_EQ(error_of([&] { control.isHeader(u"A"); }), 70);
    faults.fail(call::read, 1, EIO);
    EXPECT_EQ(error_of([&] { control.isSetting(u"A", u"x"); }), 57);
    EXPECT_THAT(events.take(), IsEmpty());
}

TEST_F(LookupErrors, NoFileIsLeftOpenOnAnyPath) {
    bind("[A]\r\nx=1\r\n[B]\r\n");
    const int before = open_descriptors();
    control.getSetting(u"A", u"x");
    control.getSetting(u"A", u"y");
    control.getSetting(u"C", u"y");
    {
        fault_injector faults;
        faults.fail(call::read, 1, EIO);
        error_of([&] { control.getSetting(u"A", u"x"); });
    }
    EXPECT_EQ(open_descriptors(), before);
}

TEST_F(LookupErrors, EventsOnAnOpenFileArriveBeforeItCloses) {
    bind("[A]\r\n");
    struct probe : penmoor::ini_events {
        int open_at_event = -1;
        void State(std::int16_t&) override { open_at_event = open_descriptors(); }
    } p;
    control.connect(p);
    const int before = open_descriptors();
    control.isHeader(u"B");
    EXPECT_EQ(p.open_at_event, before + 1);
    EXPECT_EQ(open_descriptors(), before);
}

}  // namespace
