#include "fixture.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

const std::string kPathsColors = "[Paths]\r\nHome=C:\\x\r\n[Colors]\r\nBack=white\r\n";

class AddHeader : public writer_test {};

TEST_F(AddHeader, AppendsTwoLineBreaksThenTheHeaderLine) {
    bind("");
    EXPECT_EQ(control.addHeader(u"Paths"), T);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n[Paths]\r\n");
    EXPECT_EQ(control.isHeader(u"Paths"), T);
}

TEST_F(AddHeader, AFinalLineWithoutTerminatorGetsOneEmptyLineOnly) {
    bind("[A]\r\nx=1\r\n");
    control.addHeader(u"Paths");
    EXPECT_EQ(content(), "[A]\r\nx=1\r\n\r\n\r\n[Paths]\r\n");
    bind("[A]\r\nx=1");
    control.addHeader(u"Paths");
    EXPECT_EQ(content(), "[A]\r\nx=1\r\n\r\n[Paths]\r\n");
}

TEST_F(AddHeader, AnExistingSectionIsReportedAndTheFileUntouched) {
    bind("[Paths]\r\n");
    EXPECT_EQ(control.addHeader(u"Paths"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 16", "hasWrite"));
    EXPECT_EQ(content(), "[Paths]\r\n");
    EXPECT_EQ(control.addHeader(u"paths"), T);  // names are case-sensitive
    EXPECT_EQ(content(), "[Paths]\r\n\r\n\r\n[paths]\r\n");
}

TEST_F(AddHeader, UnboundControlReportsNoFileTwice) {
    EXPECT_EQ(control.addHeader(u"Paths"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 4", "State 4", "hasWrite"));
}

TEST_F(AddHeader, NameIsWrittenAsItStandsBracketsEqualsAndLineFeedsIncluded) {
    bind("");
    control.addHeader(u"a]=[b\nc");
    EXPECT_EQ(content(), "\r\n\r\n[a]=[b\nc]\r\n");
}

class AddSetting : public writer_test {};

TEST_F(AddSetting, InsertsDirectlyBelowTheHeaderLineAboveExistingSettings) {
    bind(kPathsColors);
    EXPECT_EQ(control.addSetting(u"Colors", u"Fore", u"black"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));  // isSetting: section runs to the end, no event
    EXPECT_EQ(content(), "[Paths]\r\nHome=C:\\x\r\n[Colors]\r\nFore=black\r\nBack=white\r\n");
    EXPECT_EQ(control.addSetting(u"Paths", u"Temp", u"C:\\t"), T);
    EXPECT_THAT(events.take(), ElementsAre("State 2", "hasWrite"));
    EXPECT_EQ(content(), "[Paths]\r\nTemp=C:\\t\r\nHome=C:\\x\r\n[Colors]\r\nFore=black\r\nBack=white\r\n");
}

TEST_F(AddSetting, AnExistingSettingIsReportedAndTheFileUntouched) {
    bind(kPathsColors);
    EXPECT_EQ(control.addSetting(u"Paths", u"Home", u"D:\\"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 256", "hasWrite"));
    EXPECT_EQ(content(), kPathsColors);
}

TEST_F(AddSetting, AMissingSectionIsReportedThreeTimes) {
    bind(kPathsColors);
    EXPECT_EQ(control.addSetting(u"Sizes", u"W", u"1"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1", "State 1", "State 1", "hasWrite"));
    EXPECT_EQ(content(), kPathsColors);
}

TEST_F(AddSetting, UnboundControlReportsNoFileTwiceThenNoHeader) {
    EXPECT_EQ(control.addSetting(u"A", u"k", u"v"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 4", "State 4", "State 1", "hasWrite"));
}

TEST_F(AddSetting, EmptyValueAndEqualsInTheValue) {
    bind(kPathsColors);
    control.addSetting(u"Colors", u"Fore", u"");
    control.addSetting(u"Colors", u"a", u"b=1");
    EXPECT_EQ(content(), "[Paths]\r\nHome=C:\\x\r\n[Colors]\r\na=b=1\r\nFore=\r\nBack=white\r\n");
    EXPECT_EQ(control.getSetting(u"Colors", u"a"), u"b=1");
}

TEST_F(AddSetting, OnlyTheFirstOccurrenceOfTheSectionGetsTheLine) {
    bind("[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(control.addSetting(u"A", u"z", u"3"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));
    EXPECT_EQ(content(), "[A]\r\nz=3\r\nx=1\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(control.addSetting(u"A", u"y", u"9"), F);  // the lookup reads on past the repeat
    EXPECT_THAT(events.take(), ElementsAre("State 256", "hasWrite"));
}

TEST_F(AddSetting, NamesAndHeadersMatchExactly) {
    bind("[paths]\r\n[Paths] \r\nhome=1\r\n");
    EXPECT_EQ(control.addSetting(u"Paths", u"Home", u"1"), F);
    EXPECT_EQ(content(), "[paths]\r\n[Paths] \r\nhome=1\r\n");
}

class UpdateSetting : public writer_test {};

TEST_F(UpdateSetting, ReplacesTheValueAndRaisesOnlyHasWrite) {
    bind(kPathsColors);
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"D:\\y"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));
    EXPECT_EQ(content(), "[Paths]\r\nHome=D:\\y\r\n[Colors]\r\nBack=white\r\n");
}

TEST_F(UpdateSetting, SecondLineOfSameNameRaisesManySettingsOnce) {
    bind("[Paths]\r\nHome=1\r\nHome=2\r\nHome=3\r\n[Colors]\r\n");
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"9"), T);
    EXPECT_THAT(events.take(), ElementsAre("State 128", "hasWrite"));
    EXPECT_EQ(content(), "[Paths]\r\nHome=9\r\nHome=2\r\nHome=3\r\n[Colors]\r\n");
}

TEST_F(UpdateSetting, MissesAreReportedByTheLookupsOnly) {
    bind(kPathsColors);
    EXPECT_EQ(control.updateSetting(u"Paths", u"Temp", u"1"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2", "hasWrite"));
    EXPECT_EQ(control.updateSetting(u"Sizes", u"W", u"1"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1", "hasWrite"));
    EXPECT_EQ(content(), kPathsColors);
    penmoor::ini unbound;
    recorder r;
    unbound.connect(r);
    EXPECT_EQ(unbound.updateSetting(u"A", u"k", u"v"), F);
    EXPECT_THAT(r.take(), ElementsAre("State 4", "hasWrite"));
}

TEST_F(UpdateSetting, AKeyAfterARepeatOfItsHeaderIsRefusedUntouched) {
    // The lookup reads past the repeated header line; the update does not reach there: refused, as at
    // every door, rather than reported as an update that found nothing.
    const std::string repeated = "[A]\rx=1\r[A]\r\ny=2";
    bind(repeated);
    EXPECT_EQ(error_of([&] { control.updateSetting(u"A", u"y", u"3"); }), 5);
    EXPECT_THAT(events.take(), ElementsAre());
    EXPECT_EQ(content(), repeated);
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
}

TEST_F(UpdateSetting, EveryLineEndsWithCrLfAfterARewrite) {
    bind("[Paths]\rHome=1\r\nstill home\rlast");
    EXPECT_EQ(control.getSetting(u"Paths", u"still home"), u"");
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"2"), T);
    EXPECT_EQ(content(), "[Paths]\r\nHome=2\r\nstill home\r\nlast\r\n");
}

TEST_F(UpdateSetting, CopiedLinesKeepEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r') all += static_cast<char>(b);
    }
    const std::string file = "[A]\r\nk=1\r\n" + all + "\r\n[B]\r\n=" + all + "\r\n";
    bind(file);
    EXPECT_EQ(control.updateSetting(u"A", u"k", u"\u20AC\u00FF"), T);
    EXPECT_EQ(content(), "[A]\r\nk=\x80\xFF\r\n" + all + "\r\n[B]\r\n=" + all + "\r\n");
}

class WritableText : public writer_test {};

TEST_F(WritableText, CarriageReturnOrAForeignCharacterIsErrorFiveBeforeAnything) {
    bind(kPathsColors);
    const std::u16string bad[] = {u"a\rb", u"\u4E2D", std::u16string(1, static_cast<char16_t>(0xD800))};
    for (const auto& text : bad) {
        EXPECT_EQ(error_of([&] { control.addHeader(text); }), 5);
        EXPECT_EQ(error_of([&] { control.addSetting(u"Paths", text, u"v"); }), 5);
        EXPECT_EQ(error_of([&] { control.addSetting(u"Paths", u"k", text); }), 5);
        EXPECT_EQ(error_of([&] { control.updateSetting(u"Paths", text, u"v"); }), 5);
        EXPECT_EQ(error_of([&] { control.updateSetting(u"Paths", u"Home", text); }), 5);
    }
    penmoor::ini unbound;
    EXPECT_EQ(error_of([&] { unbound.addSetting(u"A", u"k", u"\r"); }), 5);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(content(), kPathsColors);
}

TEST_F(WritableText, LineFeedsAndCompareOnlyNamesPass) {
    bind(kPathsColors);
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"a\nb"), T);
    EXPECT_EQ(control.getSetting(u"Paths", u"Home"), u"a\nb");
    // A section name that is only looked up is not checked: it is simply not found.
    EXPECT_EQ(control.addSetting(u"\u4E2D", u"k", u"v"), F);
    EXPECT_EQ(control.deleteSetting(u"Paths", u"a\rb"), F);
}

// A name whose line would not read back as that name is refused before anything is looked up: "[x"
// would end the section, "a=b" would read back as "a" and shadow a real "a".
TEST_F(WritableText, SettingNamesThatWouldNotReadBackAreErrorFive) {
    bind(kPathsColors);
    for (const char16_t* name : {u"[x", u"[", u"a=b", u"=", u"a="}) {
        EXPECT_EQ(error_of([&] { control.addSetting(u"Colors", name, u"1"); }), 5);
        EXPECT_EQ(error_of([&] { control.updateSetting(u"Colors", name, u"1"); }), 5);
    }
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(content(), kPathsColors);
    // Names that only compare may hold anything: they are simply not found.
    EXPECT_EQ(control.deleteSetting(u"Colors", u"a=b"), F);
    EXPECT_EQ(control.isSetting(u"Colors", u"[x"), F);
    // "]" and "[" further in are harmless, and so is a section name holding "=".
    EXPECT_EQ(control.addSetting(u"Colors", u"x[1]", u"2"), T);
    EXPECT_EQ(control.addHeader(u"a=b"), T);
    EXPECT_EQ(control.addSetting(u"a=b", u"k", u"v"), T);
    EXPECT_EQ(control.getSetting(u"a=b", u"k"), u"v");
}

}  // namespace
