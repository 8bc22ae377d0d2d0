#include <cerrno>
#include <functional>

#include "fault.hpp"
#include "fixture.hpp"

namespace {

using namespace test;
using penmoor::ini;

class Core : public writer_test {};

TEST_F(Core, FreshControlIsUnboundAtItsDesignedSize) {
    EXPECT_EQ(control.File(), u"None");
    EXPECT_EQ(control.CreateNew(), platform::False);
    EXPECT_EQ(control.Width(), 585);
    EXPECT_EQ(control.Height(), 645);
}

TEST_F(Core, AnyResizeEndsAtTheDesignedSize) {
    for (auto [w, h] : {std::pair{100.f, 100.f}, {585.f, 10.f}, {9000.f, 645.f}, {0.f, 0.f}}) {
        control.resize(w, h);
        EXPECT_EQ(control.Width(), 585);
        EXPECT_EQ(control.Height(), 645);
    }
}

TEST_F(Core, CreateNewStoresTheValueAsGiven) {
    control.CreateNew(7);
    EXPECT_EQ(control.CreateNew(), 7);
    control.File(u16(dir / "made.ini"));  // any non-zero value counts as True
    EXPECT_THAT(events.take(), ElementsAre("State 64", "hasWrite", "State 8"));
    EXPECT_TRUE(exists(dir / "made.ini"));
}

TEST_F(Core, AssigningAMissingPathWithoutCreateNewReportsNoFileAndKeepsTheBinding) {
    control.File(u16(dir / "none.ini"));
    EXPECT_THAT(events.take(), ElementsAre("State 4"));
    EXPECT_EQ(control.File(), u"None");
    EXPECT_FALSE(exists(dir / "none.ini"));

    bind("[a]\r\n");
    control.File(u16(dir / "none.ini"));
    EXPECT_THAT(events.take(), ElementsAre("State 4"));
    EXPECT_EQ(control.File(), u16(dir / "app.ini"));
}

TEST_F(Core, AssigningAMissingPathWithCreateNewMakesAnEmptyFileAndBindsIt) {
    control.CreateNew(platform::True);
    control.File(u16(dir / "new.ini"));
    EXPECT_THAT(events.take(), ElementsAre("State 64", "hasWrite", "State 8"));
    EXPECT_EQ(content("new.ini"), "");
    EXPECT_EQ(control.File(), u16(dir / "new.ini"));
}

TEST_F(Core, AssigningAnExistingPathRaisesOnlyOkFileWhateverCreateNewIs) {
    for (platform::boolean create : {platform::False, platform::True}) {
        control.CreateNew(create);
        write_file(dir / "x.ini", "keep\r\n");
        control.File(u16(dir / "x.ini"));
        EXPECT_THAT(events.take(), ElementsAre("State 8"));
        EXPECT_EQ(content("x.ini"), "keep\r\n");
    }
}

TEST_F(Core, PathIsKeptExactlyAsGiven) {
    write_file(dir / "a.ini", "");
    const std::u16string odd = u16(dir.path() + "/./a.ini");
    control.File(odd);
    EXPECT_EQ(control.File(), odd);
}

TEST_F(Core, DirectoriesAndTheEmptyPathNameNoFile) {
    control.File(u16(dir.path()));
    control.File(u"");
    EXPECT_THAT(events.take(), ElementsAre("State 4", "State 4"));
    control.CreateNew(platform::True);
    control.File(u16(dir.path()));  // something exists there, so nothing is created and nothing bound
    EXPECT_THAT(events.take(), ElementsAre("State 32", "hasWrite", "State 4"));
    EXPECT_EQ(error_of([&] { control.File(u""); }), 52);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.File(), u"None");
}

TEST_F(Core, AddFileNeverTouchesAnExistingFile) {
    write_file(dir / "x.ini", "[a]\r\nk=v\r\n");
    EXPECT_EQ(control.addFile(u16(dir / "x.ini")), platform::False);
    EXPECT_THAT(events.take(), ElementsAre("State 32", "hasWrite"));
    EXPECT_EQ(content("x.ini"), "[a]\r\nk=v\r\n");
}

TEST_F(Core, AddFileCreatesAnEmptyFileWithoutBindingIt) {
    bind("");
    EXPECT_EQ(control.addFile(u16(dir / "new.ini")), platform::True);
    EXPECT_THAT(events.take(), ElementsAre("State 64", "hasWrite"));
    EXPECT_EQ(content("new.ini"), "");
    EXPECT_EQ(control.File(), u16(dir / "app.ini"));
}

TEST_F(Core, AddFileThroughADanglingLinkCreatesNothing) {
    ASSERT_EQ(::symlink((dir / "target.ini").c_str(), (dir / "link.ini").c_str()), 0);
    EXPECT_EQ(control.addFile(u16(dir / "link.ini")), platform::False);
    EXPECT_THAT(events.take(), ElementsAre("State 32", "hasWrite"));
    EXPECT_FALSE(exists(dir / "target.ini"));
}

TEST_F(Core, FileSystemFailuresEndTheCallWithTheirNumberAndNoEvent) {
    bind("");
    EXPECT_EQ(error_of([&] { control.addFile(u16(dir / "nodir/x.ini")); }), 76);
    EXPECT_EQ(error_of([&] { control.addFile(u""); }), 52);
    EXPECT_EQ(error_of([&] { control.addFile(std::u16string(u"a\0b", 3)); }), 52);
    EXPECT_EQ(error_of([&] { control.addFile(u"a\xD800"); }), 52);
    {
        fault_injector faults;
        faults.fail(call::open, 1, EACCES);
        EXPECT_EQ(error_of([&] { control.addFile(u16(dir / "ro.ini")); }), 70);
    }
    control.CreateNew(platform::True);
    EXPECT_EQ(error_of([&] { control.File(u16(dir / "nodir/x.ini")); }), 76);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.File(), u16(dir / "app.ini"));
}

TEST(Events, AHandlerThatChangesTheStateArgumentAffectsNoOtherSink) {
    struct meddler : penmoor::ini_events {
        void State(std::int16_t& s) override { s = penmoor::TW_OKFILE; }
    } first;
    recorder second;
    ini control;
    control.connect(first);
    control.connect(second);
    EXPECT_EQ(control.isHeader(u"a"), platform::False);
    EXPECT_THAT(second.take(), ElementsAre("State 4"));
}

TEST(Events, SinksHearEventsInConnectionOrderAndMayDisconnectWhileRaised) {
    std::vector<std::string> log;
    struct named : penmoor::ini_events {
        named(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(l) {}
        void State(std::int16_t& s) override {
            log.push_back(name + " " + std::to_string(s));
            if (on_state) on_state();
        }
        std::string name;
        std::vector<std::string>& log;
        std::function<void()> on_state;
    } a("a", log), b("b", log), c("c", log);
    ini control;
    control.connect(a);
    control.connect(b);
    control.connect(c);
    // A change to the sinks during an event applies to later events, as through the component interface
    // (Events.ASinkDisconnectedByAHandlerHearsTheEventBeingRaisedOnly).
    a.on_state = [&] { control.disconnect(b); };
    control.isHeader(u"x");
    control.isHeader(u"x");
    EXPECT_THAT(log, ElementsAre("a 4", "b 4", "c 4", "a 4", "c 4"));
}

}  // namespace
