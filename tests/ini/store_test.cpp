// Filing lines: the line rule, resetting, and the capacities at their edges.
#include <climits>
#include <string>

#include "fixture.hpp"

namespace {

using namespace test;

class InputConf : public reader_test {};

TEST_F(InputConf, ExampleLinesFillTheTablesInFilingOrder) {
    feed({u"[a]", u"x=1", u"y=2", u"[b]", u"[c]", u"z=3"});
    EXPECT_THAT(headers(), ElementsAre(u"a", u"b", u"c"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1", u"y=2"));
    EXPECT_THAT(settings(u"b"), IsEmpty());
    EXPECT_THAT(settings(u"c"), ElementsAre(u"z=3"));
}

TEST_F(InputConf, LinesOfAtMostTwoUnitsAreIgnoredWhateverTheyHold) {
    feed({u"[h]", u"[]", u"a=", u"=b", u"==", u"=", u"", u"x"});
    EXPECT_THAT(headers(), ElementsAre(u"h"));
    EXPECT_EQ(control.GetSettings(u"h"), -1);
    // Length counts UTF-16 units: a character outside the basic plane is two.
    feed({u"=\u00e9", u"=\U0001F600"});
    EXPECT_THAT(settings(u"h"), ElementsAre(u"=\U0001F600"));
}

TEST_F(InputConf, HeaderNeedsABracketAsFirstAndAsLastUnitAndIsTestedBeforeSettings) {
    feed({u"[x]", u"[abc", u"abc]", u" [a]", u"[a] ", u"[a=b]", u"[[]]", u"[]]", u"[ ]"});
    EXPECT_THAT(headers(), ElementsAre(u"x", u"a=b", u"[]", u"]", u" "));
    EXPECT_THAT(settings(u"x"), IsEmpty());
}

TEST_F(InputConf, SettingIsSplitAtTheFirstEqualsWithNothingTrimmed) {
    feed({u"[h]", u"ab=", u"=ab", u"k=v=w", u"K = V", u";x=1", u"[a=1", u" [a]=2"});
    EXPECT_THAT(settings(u"h"), ElementsAre(u"ab=", u"=ab", u"k=v=w", u"K = V", u";x=1", u"[a=1", u" [a]=2"));
    EXPECT_EQ(control.RCS(u"h", u"k"), u"v=w");
    EXPECT_EQ(control.RCS(u"h", u"K "), u" V");
    EXPECT_EQ(control.RCS(u"h", u"K"), u"");
    EXPECT_EQ(control.RCS(u"h", u""), u"ab");
}

TEST_F(InputConf, AnyUnitIsKeptAsGiven) {
    const std::u16string nul_header(u"[a\0b]", 5);
    const std::u16string nul_setting(u"n\0=\0v", 5);
    const std::u16string lone_surrogate = std::u16string(u"\u00c9t\u00e9=\U0001F600") + char16_t{0xDC00};
    feed({nul_header, nul_setting, u"k\ry=\n", lone_surrogate});
    EXPECT_THAT(headers(), ElementsAre(std::u16string(u"a\0b", 3)));
    EXPECT_EQ(control.RCS(std::u16string(u"a\0b", 3), std::u16string(u"n\0", 2)), std::u16string(u"\0v", 2));
    EXPECT_EQ(control.RCS(std::u16string(u"a\0b", 3), u"k\ry"), u"\n");
    EXPECT_EQ(control.RCS(std::u16string(u"a\0b", 3), u"\u00c9t\u00e9"),
              std::u16string(u"\U0001F600") + char16_t{0xDC00});
    EXPECT_EQ(control.FindHeader(u"a"), platform::False);
}

TEST_F(InputConf, SettingBeforeTheFirstHeaderIsIgnored) {
    feed({u"x=1", u"y=2"});
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
    feed({u"[a]", u"z=3"});
    EXPECT_THAT(headers(), ElementsAre(u"a"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"z=3"));
    EXPECT_EQ(control.RCS(u"a", u"x"), u"");
}

TEST_F(InputConf, RepeatedHeadersAndSettingsAreEachFiled) {
    feed({u"[a]", u"x=1", u"x=2", u"[a]", u"x=3"});
    EXPECT_THAT(headers(), ElementsAre(u"a", u"a"));
    EXPECT_THAT(settings(u"a"), ElementsAre(u"x=1", u"x=2"));
}

class ResetConf : public reader_test {};

TEST_F(ResetConf, EmptiesTheTablesAndFilingStartsAgainAtTheFirstSlots) {
    feed({u"[a]", u"x=1", u"[b]", u"y=2"});
    ASSERT_EQ(control.RCS(u"b", u"y"), u"2");  // the index is built before the reset
    control.ResetConf();
    EXPECT_EQ(control.GetNumberOfHeaders(), -1);
    EXPECT_EQ(control.FindHeader(u"a"), platform::False);
    EXPECT_EQ(control.RCS(u"b", u"y"), u"");
    feed({u"[b]", u"y=3", u"[a]"});
    EXPECT_THAT(headers(), ElementsAre(u"b", u"a"));
    EXPECT_EQ(control.RCS(u"b", u"y"), u"3");
    EXPECT_EQ(control.ReadAtPosition(u"b", 0), u"3");
    EXPECT_EQ(control.GetSettings(u"a"), -1);
    EXPECT_EQ(control.RCS(u"a", u"x"), u"");
}

class Capacity : public reader_test {
  protected:
    static std::u16string numbered(std::u16string_view prefix, int i, std::u16string_view suffix = u"") {
        std::u16string text(prefix);
        for (const char c : std::to_string(i)) text += static_cast<char16_t>(c);
        return text += suffix;
    }
};

TEST_F(Capacity, TheLastHeaderSlotIsFilledAndOneMoreIsErrorNineWithNothingChanged) {
    for (int i = 0; i < tw_ini::header_capacity; ++i) control.InputConf(numbered(u"[h", i, u"]"));
    EXPECT_EQ(control.GetNumberOfHeaders(), 10000);
    EXPECT_EQ(control.GetHeaderAtPosition(10000), u"h10000");
    EXPECT_EQ(control.GetSettings(u"h10000"), -1);

    EXPECT_EQ(error_of([&] { control.InputConf(u"[h10001]"); }), platform::err::subscript);
    EXPECT_EQ(error_of([&] { control.InputConf(u"[h0]"); }), platform::err::subscript);
    EXPECT_EQ(control.GetNumberOfHeaders(), 10000);
    EXPECT_EQ(control.FindHeader(u"h10001"), platform::False);
    EXPECT_EQ(control.GetHeaderAtPosition(10001), u"");

    // The last header stays open for settings; ignored lines stay ignored.
    feed({u"x=1", u"[]", u"plain"});
    EXPECT_THAT(settings(u"h10000"), ElementsAre(u"x=1"));
    EXPECT_EQ(control.GetSettings(u"h9999"), -1);
}

TEST_F(Capacity, TheLastSettingSlotIsFilledAndOneMoreIsErrorNineWithNothingChanged) {
    feed({u"[a]", u"first=0"});
    for (int i = 1; i < tw_ini::setting_capacity - 1; ++i) control.InputConf(numbered(u"k", i, u"=v"));
    feed({u"[b]", u"last=60000"});
    EXPECT_EQ(control.GetSettings(u"a"), 59999);
    EXPECT_EQ(control.GetSettings(u"b"), 0);
    EXPECT_EQ(control.ReadAtPosition(u"b", 0), u"60000");
    EXPECT_EQ(control.RCS(u"a", u"k59999"), u"v");

    EXPECT_EQ(error_of([&] { control.InputConf(u"over=1"); }), platform::err::subscript);
    EXPECT_EQ(control.GetSettings(u"b"), 0);
    EXPECT_EQ(control.RCS(u"b", u"over"), u"");
    EXPECT_EQ(control.ReadAtPosition(u"b", 1), u"");

    // A header can still be filed; it has no settings and can get none. Its first setting slot would be
    // past the table: no query reaches it, whatever the position.
    feed({u"[c]"});
    EXPECT_EQ(error_of([&] { control.InputConf(u"y=2"); }), platform::err::subscript);
    EXPECT_EQ(control.GetNumberOfHeaders(), 2);
    EXPECT_EQ(control.GetSettings(u"c"), -1);
    for (const std::int32_t p : {0, 1, -1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(control.ReadAtPosition(u"c", p), u"");
        EXPECT_EQ(control.SettingAtPosition(u"c", p), u"");
        EXPECT_EQ(control.ReadAtPosition(u"b", p), p == 0 ? u"60000" : u"");
    }
    EXPECT_EQ(control.RCS(u"c", u"y"), u"");
    EXPECT_EQ(control.RCS(u"b", u"last"), u"60000");
}

}  // namespace
