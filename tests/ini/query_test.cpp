// The queries: by name and by position, their not-found answers, repeated names, and the control's size.
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "fixture.hpp"

namespace {

using namespace test;

// The example tables: headers a (x=1, y=2), b (no settings), c (z=3).
class Example : public reader_test {
  protected:
    Example() { feed({u"[a]", u"x=1", u"y=2", u"[b]", u"[c]", u"z=3"}); }
};

constexpr std::int32_t out_of_range[] = {-1, INT_MIN, INT_MAX, INT_MAX - 1};

TEST_F(Example, HeadersByPosition) {
    EXPECT_EQ(control.GetNumberOfHeaders(), 2);
    EXPECT_EQ(control.GetHeaderAtPosition(0), u"a");
    EXPECT_EQ(control.GetHeaderAtPosition(1), u"b");
    EXPECT_EQ(control.GetHeaderAtPosition(2), u"c");
    EXPECT_EQ(control.GetHeaderAtPosition(3), u"");
    for (const std::int32_t p : out_of_range) EXPECT_EQ(control.GetHeaderAtPosition(p), u"") << p;
}

TEST_F(Example, SettingsByPositionAreCountedFromZeroUpToTheHighestPosition) {
    EXPECT_EQ(control.GetSettings(u"a"), 1);
    EXPECT_EQ(control.GetSettings(u"c"), 0);
    EXPECT_EQ(control.ReadAtPosition(u"a", 0), u"1");
    EXPECT_EQ(control.ReadAtPosition(u"a", 1), u"2");
    EXPECT_EQ(control.SettingAtPosition(u"a", 0), u"x");
    EXPECT_EQ(control.SettingAtPosition(u"a", 1), u"y");
    EXPECT_EQ(control.ReadAtPosition(u"c", 0), u"3");
    // Past a header's last setting is out of range, not the next header's setting.
    EXPECT_EQ(control.ReadAtPosition(u"a", 2), u"");
    EXPECT_EQ(control.SettingAtPosition(u"a", 2), u"");
    EXPECT_EQ(control.ReadAtPosition(u"c", 1), u"");
    for (const std::int32_t p : out_of_range) {
        EXPECT_EQ(control.ReadAtPosition(u"c", p), u"") << p;
        EXPECT_EQ(control.SettingAtPosition(u"c", p), u"") << p;
    }
}

TEST_F(Example, SettingByNameIsLookedUpOnlyUnderItsOwnHeaderAndExactly) {
    EXPECT_EQ(control.RCS(u"a", u"y"), u"2");
    EXPECT_EQ(control.RCS(u"c", u"z"), u"3");
    EXPECT_EQ(control.RCS(u"a", u"z"), u"");
    EXPECT_EQ(control.RCS(u"c", u"x"), u"");
    EXPECT_EQ(control.RCS(u"A", u"y"), u"");
    EXPECT_EQ(control.RCS(u"a", u"Y"), u"");
    EXPECT_EQ(control.RCS(u"a ", u"y"), u"");
    EXPECT_EQ(control.RCS(u"a", u"y "), u"");
    EXPECT_EQ(control.RCS(u"a", u""), u"");
}

TEST_F(Example, MissingHeaderGivesTheNotFoundAnswersAndFilesNothing) {
    EXPECT_EQ(control.GetSettings(u"zz"), 0);
    EXPECT_EQ(control.FindHeader(u"zz"), platform::False);
    EXPECT_EQ(control.AddHeader(u"zz"), platform::True);
    EXPECT_EQ(control.RCS(u"zz", u"x"), u"");
    EXPECT_EQ(control.ReadAtPosition(u"zz", 0), u"");
    EXPECT_EQ(control.SettingAtPosition(u"zz", 0), u"");
    EXPECT_EQ(control.GetNumberOfHeaders(), 2);
    EXPECT_EQ(control.FindHeader(u"zz"), platform::False);
    EXPECT_EQ(control.FindHeader(u"a"), platform::True);
    EXPECT_EQ(control.AddHeader(u"a"), platform::False);
    EXPECT_EQ(control.FindHeader(u"A"), platform::False);
}

TEST_F(Example, HeaderWithoutSettingsHasNone) {
    EXPECT_EQ(control.FindHeader(u"b"), platform::True);
    EXPECT_EQ(control.GetSettings(u"b"), -1);
    EXPECT_EQ(control.RCS(u"b", u"z"), u"");
    EXPECT_EQ(control.ReadAtPosition(u"b", 0), u"");
    EXPECT_EQ(control.SettingAtPosition(u"b", 0), u"");
    // Likewise a header at the end, whose first setting slot is still unused.
    feed({u"[end]"});
    EXPECT_EQ(control.GetSettings(u"end"), -1);
    EXPECT_EQ(control.ReadAtPosition(u"end", 0), u"");
    EXPECT_EQ(control.SettingAtPosition(u"end", 0), u"");
}

TEST_F(Example, EmptyNameIsNeverAHeader) {
    EXPECT_EQ(control.FindHeader(u""), platform::False);
    EXPECT_EQ(control.AddHeader(u""), platform::True);
    EXPECT_EQ(control.GetSettings(u""), 0);
    EXPECT_EQ(control.RCS(u"", u"x"), u"");
    EXPECT_EQ(control.ReadAtPosition(u"", 0), u"");
    EXPECT_EQ(control.SettingAtPosition(u"", 0), u"");
}

class EmptyTables : public reader_test {};

TEST_F(EmptyTables, EveryQueryGivesItsNotFoundAnswer) {
    auto check = [&] {
        EXPECT_EQ(control.GetNumberOfHeaders(), -1);
        EXPECT_EQ(control.GetHeaderAtPosition(0), u"");
        for (const std::u16string name : {u"", u"a"}) {
            EXPECT_EQ(control.RCS(name, u"x"), u"");
            EXPECT_EQ(control.GetSettings(name), 0);
            EXPECT_EQ(control.ReadAtPosition(name, 0), u"");
            EXPECT_EQ(control.SettingAtPosition(name, 0), u"");
            EXPECT_EQ(control.FindHeader(name), platform::False);
            EXPECT_EQ(control.AddHeader(name), platform::True);
        }
    };
    check();
    feed({u"[a]", u"x=1", u"junk"});
    control.RCS(u"a", u"x");
    control.ResetConf();
    check();
}

class Repeats : public reader_test {};

TEST_F(Repeats, KeyedQueriesAnswerFromTheFirstHeaderOfANameAndPositionsListEveryHeader) {
    feed({u"[a]", u"x=1", u"x=2", u"[b]", u"y=1", u"[a]", u"x=3", u"z=4"});
    EXPECT_THAT(headers(), ElementsAre(u"a", u"b", u"a"));
    EXPECT_EQ(control.RCS(u"a", u"x"), u"1");
    EXPECT_EQ(control.RCS(u"a", u"z"), u"");
    EXPECT_EQ(control.GetSettings(u"a"), 1);
    EXPECT_EQ(control.ReadAtPosition(u"a", 1), u"2");
    EXPECT_EQ(control.ReadAtPosition(u"a", 2), u"");
}

TEST_F(Repeats, FirstHeaderWithoutSettingsHidesTheSettingsOfALaterOneOfTheSameName) {
    feed({u"[a]", u"[a]", u"x=1"});
    EXPECT_EQ(control.GetSettings(u"a"), -1);
    EXPECT_EQ(control.RCS(u"a", u"x"), u"");
    EXPECT_EQ(control.ReadAtPosition(u"a", 0), u"");
}

TEST_F(Repeats, SameSettingNameUnderDifferentHeadersIsFoundUnderEach) {
    feed({u"[a]", u"k=1", u"[b]", u"k=2", u"[c]", u"k=3", u"k=4"});
    EXPECT_EQ(control.RCS(u"a", u"k"), u"1");
    EXPECT_EQ(control.RCS(u"b", u"k"), u"2");
    EXPECT_EQ(control.RCS(u"c", u"k"), u"3");
}

class Appending : public reader_test {};

TEST_F(Appending, QueriesSeeEveryLineFiledSinceTheLastQuery) {
    feed({u"[a]", u"x=1"});
    EXPECT_EQ(control.RCS(u"a", u"x"), u"1");
    feed({u"x=2", u"y=3"});
    EXPECT_EQ(control.RCS(u"a", u"y"), u"3");
    EXPECT_EQ(control.RCS(u"a", u"x"), u"1");
    EXPECT_EQ(control.GetSettings(u"a"), 2);
    feed({u"[b]", u"w=1", u"[a]", u"v=2"});
    EXPECT_EQ(control.GetSettings(u"b"), 0);
    EXPECT_EQ(control.RCS(u"b", u"w"), u"1");
    EXPECT_EQ(control.RCS(u"a", u"v"), u"");

    // Many more, asked after each line, past every growth of the index.
    for (int i = 0; i < 300; ++i) {
        std::u16string n = u"s";
        for (const char c : std::to_string(i)) n += static_cast<char16_t>(c);
        feed({u"[" + n + u"]"});
        ASSERT_EQ(control.GetSettings(n), -1) << i;
        feed({u"k=" + n});
        ASSERT_EQ(control.RCS(n, u"k"), n) << i;
        ASSERT_EQ(control.RCS(u"s0", u"k"), u"s0") << i;
        ASSERT_EQ(control.GetNumberOfHeaders(), 3 + i) << i;
    }
    EXPECT_EQ(control.RCS(u"a", u"y"), u"3");
}

TEST_F(Appending, HeaderGrowingToManySettingsAnswersFromTheFirstOfEachName) {
    feed({u"[a]", u"[b]"});
    for (int i = 0; i < 100; ++i) {
        const std::u16string name(1, static_cast<char16_t>(u'A' + i % 30));
        feed({name + u"=" + std::u16string(1, static_cast<char16_t>(u'0' + i / 30))});
        for (int j = 0; j <= i; ++j) {
            const std::u16string other(1, static_cast<char16_t>(u'A' + j % 30));
            ASSERT_EQ(control.RCS(u"b", other), u"0") << i << " " << j;
        }
        ASSERT_EQ(control.RCS(u"b", u"a"), u"") << i;
        ASSERT_EQ(control.GetSettings(u"b"), i);
    }
    feed({u"[b]", u"A=x"});
    EXPECT_EQ(control.RCS(u"b", u"A"), u"0");
    EXPECT_EQ(control.RCS(u"a", u"A"), u"");
}

class Size : public reader_test {};

TEST_F(Size, StartsAndStaysAtTheDesignedSize) {
    EXPECT_EQ(control.Width(), 585);
    EXPECT_EQ(control.Height(), 555);
    for (auto [w, h] : {std::pair{100.f, 100.f}, {585.f, 10.f}, {9000.f, 555.f}, {0.f, 0.f}, {-5.f, 1e9f}}) {
        control.resize(w, h);
        EXPECT_EQ(control.Width(), 585);
        EXPECT_EQ(control.Height(), 555);
    }
}

// Sees every size the control passes through while it resizes itself.
class watched : public tw_ini::ini {
  public:
    std::vector<std::pair<float, float>> seen;

  protected:
    void Resize() override {
        seen.emplace_back(Width(), Height());
        ini::Resize();
    }
};

TEST_F(Size, HeightIsSetBeforeWidth) {
    watched sized;
    sized.resize(100, 200);
    EXPECT_THAT(sized.seen,
                ElementsAre(std::pair{100.f, 200.f}, std::pair{100.f, 555.f}, std::pair{585.f, 555.f}));
}

}  // namespace
