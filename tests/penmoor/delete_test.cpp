#include "fixture.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

const std::string kSample =
    "[Paths]\r\nHome=C:\\x\r\n; drive\r\nTemp=C:\\t\r\n\r\n[Colors]\r\nBack=white\r\n";

class DeleteSetting : public writer_test {};

TEST_F(DeleteSetting, DropsTheLineAndRaisesOnlyHasWrite) {
    bind(kSample);
    EXPECT_EQ(control.deleteSetting(u"Paths", u"Temp"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));
    EXPECT_EQ(content(), "[Paths]\r\nHome=C:\\x\r\n; drive\r\n\r\n[Colors]\r\nBack=white\r\n");
}

TEST_F(DeleteSetting, ASettingOfAnotherSectionIsNeverTouched) {
    bind(kSample);
    EXPECT_EQ(control.deleteSetting(u"Paths", u"Back"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 2", "State 2", "hasWrite"));
    EXPECT_EQ(content(), kSample);
}

TEST_F(DeleteSetting, EveryLineOfTheNameInTheSectionGoes) {
    bind("[Paths]\r\nHome=1\r\nx=0\r\nHome=2\r\n[B]\r\nHome=3\r\n");
    EXPECT_EQ(control.deleteSetting(u"Paths", u"Home"), T);
    EXPECT_EQ(content(), "[Paths]\r\nx=0\r\n[B]\r\nHome=3\r\n");
}

TEST_F(DeleteSetting, MissingSectionOrNoFile) {
    bind(kSample);
    EXPECT_EQ(control.deleteSetting(u"Sizes", u"W"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1", "hasWrite"));
    penmoor::ini unbound;
    recorder r;
    unbound.connect(r);
    EXPECT_EQ(unbound.deleteSetting(u"A", u"k"), F);
    EXPECT_EQ(unbound.deleteHeader(u"A"), F);
    EXPECT_THAT(r.take(), ElementsAre("State 4", "hasWrite", "State 4", "hasWrite"));
}

// The lookups find y after the repeat of [A], where the deletion does not reach: refused, as at every
// door, rather than reported as a deletion that found nothing.
TEST_F(DeleteSetting, AKeyAfterARepeatOfItsHeaderIsRefusedUntouched) {
    bind("[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
    EXPECT_EQ(error_of([&] { control.deleteSetting(u"A", u"y"); }), 5);
    EXPECT_THAT(events.take(), ElementsAre());
    EXPECT_EQ(content(), "[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
}

class DeleteHeader : public writer_test {};

TEST_F(DeleteHeader, EmptiesTheSectionOneNameAtATimeThenDropsItsHeader) {
    bind(kSample);
    EXPECT_EQ(control.deleteHeader(u"Paths"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite", "hasWrite", "hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n; drive\r\n\r\n[Colors]\r\nBack=white\r\n");
}

TEST_F(DeleteHeader, TheLastSectionLeavesTheOthersAlone) {
    bind(kSample);
    EXPECT_EQ(control.deleteHeader(u"Colors"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite", "hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n[Paths]\r\nHome=C:\\x\r\n; drive\r\nTemp=C:\\t\r\n\r\n");
}

TEST_F(DeleteHeader, ASectionWithoutSettingsCostsOneRewrite) {
    bind("[A]\r\n; note\r\n[B]\r\nk=v\r\n");
    EXPECT_EQ(control.deleteHeader(u"A"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n; note\r\n[B]\r\nk=v\r\n");
}

TEST_F(DeleteHeader, ACommentHoldingEqualsCountsAsASetting) {
    bind("[A]\r\n; a=b\r\nk=1\r\nk=2\r\n");
    EXPECT_EQ(control.deleteHeader(u"A"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite", "hasWrite", "hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n");
}

TEST_F(DeleteHeader, SettingsOfARepeatedSectionAreNotLeftBehind) {
    bind("[A]\r\nx=1\r\n[A]\r\ny=2\r\n; keep\r\n[A]\r\n[B]\r\nz=3\r\n");
    EXPECT_EQ(control.deleteHeader(u"A"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite", "hasWrite"));
    EXPECT_EQ(content(), "\r\n\r\n; keep\r\n[B]\r\nz=3\r\n");
}

TEST_F(DeleteHeader, MissingSection) {
    bind(kSample);
    EXPECT_EQ(control.deleteHeader(u"paths"), F);
    EXPECT_THAT(events.take(), ElementsAre("State 1", "State 1", "hasWrite"));
    EXPECT_EQ(content(), kSample);
}

// The events of the deletions that deleteHeader stands for arrive once the file is replaced: a handler
// sees the file after the whole deletion, never half-way, and may edit it from there.
TEST_F(DeleteHeader, HandlersSeeTheFileAfterTheWholeDeletion) {
    bind("[A]\r\nx=1\r\ny=2\r\n[B]\r\n");
    struct watcher : penmoor::ini_events {
        penmoor::ini* control = nullptr;
        std::string path;
        std::vector<std::string> seen;
        void hasWrite() override {
            seen.push_back(read_file(path));
            if (seen.size() == 1) control->addSetting(u"B", u"z", u"3");
        }
    } w;
    w.control = &control;
    w.path = dir / "app.ini";
    control.connect(w);
    EXPECT_EQ(control.deleteHeader(u"A"), T);
    EXPECT_THAT(w.seen, ElementsAre("\r\n\r\n[B]\r\n", "\r\n\r\n[B]\r\nz=3\r\n", "\r\n\r\n[B]\r\nz=3\r\n",
                                    "\r\n\r\n[B]\r\nz=3\r\n"));
}

}  // namespace
