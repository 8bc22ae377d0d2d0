// Where the built twhost puts what it prints: printed values on standard output, events where --events
// says (by default standard error when standard output is no terminal, as here), and its version. Then
// the command line's table: each option in each spelling, the usage errors, the options in --help.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.hpp"
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

twhost::parsed parse(const std::vector<std::string>& arguments) {
    return twhost::parse(arguments);
}

TEST(CommandLine, EachOptionInEachSpellingSetsWhatItSays) {
    using twhost::action;
    const twhost::parsed p = parse({"-e", "Print 1", "--register", "r.so", "-k", "--no-wait", "--headless",
                                    "--list", "-e", "-k", "--info", "quillset.ini", "--unregister", "u.so",
                                    "--bitmap", "b.bmp", "--events=none", "s.tws"});
    ASSERT_EQ(p.what, twhost::parsed::kind::run) << p.message;
    const twhost::options& o = p.to_run;
    EXPECT_EQ(o.snippets, (std::vector<std::string>{"Print 1", "-k"})) << "a value is taken as it is";
    ASSERT_EQ(o.actions.size(), 4U);
    EXPECT_EQ(o.actions[0].what, action::register_library);
    EXPECT_EQ(o.actions[0].argument, "r.so");
    EXPECT_EQ(o.actions[1].what, action::list);
    EXPECT_EQ(o.actions[2].what, action::info);
    EXPECT_EQ(o.actions[2].argument, "quillset.ini");
    EXPECT_EQ(o.actions[3].what, action::unregister_library);
    EXPECT_EQ(o.actions[3].argument, "u.so");
    EXPECT_TRUE(o.keep_going);
    EXPECT_FALSE(o.wait);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.bitmap, "b.bmp");
    EXPECT_EQ(o.events, twhost::event_stream::none);
    EXPECT_EQ(o.script, "s.tws");

    const twhost::options defaults = parse({"-"}).to_run;
    EXPECT_EQ(defaults.script, "-");
    EXPECT_FALSE(defaults.keep_going);
    EXPECT_TRUE(defaults.wait);
    EXPECT_FALSE(defaults.headless);
    EXPECT_EQ(defaults.events, twhost::event_stream::by_default);

    EXPECT_TRUE(parse({"--keep-going"}).to_run.keep_going);
    EXPECT_EQ(parse({"--events=stdout"}).to_run.events, twhost::event_stream::standard_output);
    EXPECT_EQ(parse({"--events=none", "--events=stderr"}).to_run.events,
              twhost::event_stream::standard_error);
    EXPECT_EQ(parse({"--version"}).what, twhost::parsed::kind::version);
    EXPECT_EQ(parse({"-h"}).what, twhost::parsed::kind::help);
    EXPECT_EQ(parse({"--help", "--bogus"}).what, twhost::parsed::kind::help) << "the help ends the parse";
}

TEST(CommandLine, UsageErrorsNameTheArgumentAndPointToTheHelp) {
    auto error = [](const std::vector<std::string>& arguments) {
        const twhost::parsed p = parse(arguments);
        EXPECT_EQ(p.what, twhost::parsed::kind::error);
        return p.message;
    };
    EXPECT_EQ(error({"-k", "-e"}), "-e needs a value (see twhost --help)");
    EXPECT_EQ(error({"--info", "x", "--bitmap"}), "--bitmap needs a value (see twhost --help)");
    EXPECT_EQ(error({"--bogus", "--help"}), "unknown option '--bogus' (see twhost --help)");
    EXPECT_EQ(error({"--events", "stdout"}), "unknown option '--events' (see twhost --help)")
        << "its value follows '='";
    EXPECT_EQ(error({"--list=1"}), "unknown option '--list=1' (see twhost --help)");
    EXPECT_EQ(error({"--"}), "unknown option '--' (see twhost --help)");
    EXPECT_EQ(error({"--events=tty"}), "--events takes stdout, stderr or none, not 'tty'");
    EXPECT_EQ(error({"a.tws", "-"}), "more than one script given ('a.tws', '-')");
    EXPECT_EQ(error({"--bitmap", "b.bmp", "--list"}), "--bitmap goes with --info");
}

// The options' lines come from the table: each spelling with its value, the text beside it in one column,
// its further lines indented under it.
TEST(CommandLine, HelpShowsEachOptionInOneColumn) {
    const std::string help = twhost::help_text();
    EXPECT_TRUE(help.starts_with("usage: twhost [options] [SCRIPT | -]\n"));
    EXPECT_NE(
        help.find(
            "\n\n"
            "  -e STATEMENTS     run STATEMENTS (may be given more than once, numbered -e#1, -e#2, ... in\n"
            "                    messages; runs before SCRIPT)\n"
            "  -k, --keep-going  go on after a failing statement; the exit status still reports it\n"),
        std::string::npos)
        << help;
    EXPECT_NE(help.find("\n  --unregister LIB  remove it from your registry again\n"), std::string::npos);
    EXPECT_NE(help.find("\n  --events=WHERE    where event lines go: stdout, stderr or none;"),
              std::string::npos);
    EXPECT_NE(help.find("\n  -h, --help        show this help\n\nStatements:\n"), std::string::npos);
}

}  // namespace
