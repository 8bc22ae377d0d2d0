// Where the built twhost puts what it prints: printed values on standard output, events where --events
// says (by default standard error when standard output is no terminal, as here), and its version.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "run_twhost.hpp"
#include "tarnwick/version.h"
#include "temp_dir.hpp"

namespace {

using test::run_twhost;

// Binds a new file (events: made, hasWrite, bound), adds a section, prints a value.
const std::string script =
    std::string("Set w = CreateObject(\"") + TARNWICK_WRITER_LIBRARY +
    "\"): w.CreateNew = True: w.File = \"a.ini\": w.addHeader \"S\": Print w.isHeader(\"S\")";
const std::string events =
    "w.State 64 TW_MADEFILE\nw.hasWrite\nw.State 8 TW_OKFILE\nw.State 1 TW_NOHEADER\nw.hasWrite\n";

TEST(Events, GoToStandardErrorWhenStandardOutputIsNoTerminal) {
    test::temp_dir dir;
    const auto r = run_twhost(dir, {"-e", script});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "True\n");  // what $(twhost -e ...) captures
    EXPECT_EQ(r.err, events);
}

TEST(Events, GoWhereTheOptionSays) {
    test::temp_dir dir;
    auto run = [&](const char* option) {
        std::remove((dir / "a.ini").c_str());  // each run makes it anew
        return run_twhost(dir, {option, "-e", script});
    };
    auto r = run("--events=stdout");
    EXPECT_EQ(r.out, events + "True\n");
    EXPECT_EQ(r.err, "");
    r = run("--events=none");
    EXPECT_EQ(r.out, "True\n");
    EXPECT_EQ(r.err, "");
    r = run("--events=stderr");
    EXPECT_EQ(r.out, "True\n");
    EXPECT_EQ(r.err, events);
    r = run("--events=tty");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "twhost: --events takes stdout, stderr or none, not 'tty'\n");
    EXPECT_EQ(r.out, "");
}

TEST(Version, IsTheOneDefinedForTheProject) {
    test::temp_dir dir;
    const auto r = run_twhost(dir, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("twhost ") + TARNWICK_VERSION_STRING + "\n");
    EXPECT_EQ(r.out, "twhost 1.0.0\n");
}

// A script or a bitmap file that cannot be had is named with the system's reason.
TEST(Files, ThatCannotBeReadOrWrittenAreNamedWithTheSystemsReason) {
    test::temp_dir dir;
    auto r = run_twhost(dir, {"nosuch.tws"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "twhost: cannot read script 'nosuch.tws': No such file or directory\n");
    r = run_twhost(dir, {dir.path()});
    EXPECT_EQ(r.status, 2) << "a directory is no script";
    EXPECT_EQ(r.err, "twhost: cannot read script '" + dir.path() + "': Is a directory\n");

    r = run_twhost(dir, {"--info", TARNWICK_WRITER_LIBRARY, "--bitmap", "/missing/dir/x.bmp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "twhost: cannot write the toolbox bitmap to '/missing/dir/x.bmp': No such file or directory\n");
}

}  // namespace
