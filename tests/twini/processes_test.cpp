// The built twini as processes: many at once on one file, as another user, with an output that cannot
// take what it prints, under a limit on the size of the files it writes.
#include <gtest/gtest.h>
#include <pwd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "numbered.hpp"
#include "run.hpp"
#include "run_twini.hpp"
#include "split_lines.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "temp_dir.hpp"

namespace {

constexpr int writers = 24;

// Starts every process before waiting for any, so that they contend for the file.
std::vector<test::twini_outcome> run_together(const test::temp_dir& dir,
                                              const std::vector<std::vector<std::string>>& commands) {
    std::vector<pid_t> started;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        started.push_back(test::start_twini(dir, {commands[i], std::nullopt, {}, {}}, std::to_string(i)));
    }
    std::vector<test::twini_outcome> outcomes;
    for (std::size_t i = 0; i < started.size(); ++i) {
        outcomes.push_back(test::finish_twini(dir, started[i], std::to_string(i)));
    }
    return outcomes;
}

TEST(Concurrency, WritersOfDifferentKeysLoseNoUpdate) {
    test::temp_dir dir;
    test::write_file(dir / "app.ini", "[S]\r\nkeep=1\r\n");
    std::vector<std::vector<std::string>> commands;
    for (int i = 0; i < writers; ++i) {
        const std::string n = std::to_string(i);
        // Half of them add a section of their own too, in one change with the key.
        if (i % 2 == 0) {
            commands.push_back({"set", "app.ini", "S", "k" + n, "v" + n});
        } else {
            commands.push_back({"app.ini", "--set", "S", "k" + n, "v" + n, "--set", "T" + n, "x", n});
        }
    }
    for (const auto& r : run_together(dir, commands)) EXPECT_EQ(r.status, 0) << r.err;

    const auto lines = test::split_lines(test::read_file(dir / "app.ini"));
    for (int i = 0; i < writers; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "k" + n + "=v" + n), 1) << n;
        if (i % 2 == 1) {
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "[T" + n + "]"), 1) << n;
        }
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "keep=1"), 1);
    EXPECT_FALSE(test::exists(dir / "app.ini.twtemp"));
}

TEST(Concurrency, WritersOfOneKeyLeaveOneLineWithOneOfTheirValues) {
    test::temp_dir dir;
    test::write_file(dir / "app.ini", "[S]\nother=1\n");
    std::vector<std::vector<std::string>> commands;
    std::set<std::string> lines_written;
    for (int i = 0; i < writers; ++i) {
        commands.push_back({"set", "app.ini", "S", "k", test::numbered("v", i)});
        lines_written.insert(test::numbered("k=v", i));
    }
    for (const auto& r : run_together(dir, commands)) EXPECT_EQ(r.status, 0) << r.err;

    const auto lines = test::split_lines(test::read_file(dir / "app.ini"), true);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[S]");
    EXPECT_EQ(lines[1], "other=1");
    EXPECT_TRUE(lines_written.count(lines[2])) << lines[2];
}

TEST(Permissions, AnotherUserReadsButCannotEditAFileOnlyTheOwnerMayWrite) {
    if (!test::can_act_as_others()) GTEST_SKIP() << "needs to run as root to act as another user";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    test::temp_dir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string before = "[S]\r\nk=v\r\n";
    test::write_file(dir / "app.ini", before);
    ::chmod((dir / "app.ini").c_str(), 0644);

    auto r = test::run_twini(dir, {{"get", "app.ini", "S", "k"}, nobody->pw_uid, {}, {}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "v\n");
    r = test::run_twini(dir, {{"set", "app.ini", "S", "k", "w"}, nobody->pw_uid, {}, {}});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              "twini: app.ini: Permission denied: cannot open for writing 'app.ini' (Permission denied)\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::read_file(dir / "app.ini"), before);
}

// Calls that --create lets make a missing file, some of them failing (--existing refuses to add): a
// failing call never made anything, so it never removes what another call made or uses.
TEST(Concurrency, FailingCreatorsNeverRemoveTheFileOthersMake) {
    for (int round = 0; round < 2; ++round) {
        test::temp_dir dir;
        std::vector<std::vector<std::string>> commands;
        for (int i = 0; i < writers; ++i) {
            const std::string n = std::to_string(i);
            if (i % 2 == 0) {
                commands.push_back({"--create", "set", "new.ini", "S", "k" + n, "v"});
            } else {
                commands.push_back({"--create", "--existing", "set", "new.ini", "S", "k" + n, "v"});
            }
        }
        const auto outcomes = run_together(dir, commands);
        for (int i = 0; i < writers; ++i) {
            EXPECT_EQ(outcomes[static_cast<std::size_t>(i)].status, i % 2 == 0 ? 0 : 1)
                << outcomes[static_cast<std::size_t>(i)].err;
        }
        const auto lines = test::split_lines(test::read_file(dir / "new.ini"), true);
        for (int i = 0; i < writers; i += 2) {
            EXPECT_EQ(std::count(lines.begin(), lines.end(), test::numbered("k", i) + "=v"), 1) << i;
        }
    }
}

TEST(Output, ThatCannotBeWrittenIsAFailureThatSaysWhetherTheFileChanged) {
    test::temp_dir dir;
    test::write_file(dir / "app.ini", "[S]\nk=v\ncount=2\n");
    auto r = test::run_twini(dir, {{"get", "app.ini", "S", "k"}, std::nullopt, "/dev/full", {}});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "twini: standard output: No space left on device\n");
    r = test::run_twini(
        dir, {{"app.ini", "--del", "S", "k", "--get", "S", "count"}, std::nullopt, "/dev/full", {}});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "twini: standard output: No space left on device; the file was changed\n");
    EXPECT_EQ(test::read_file(dir / "app.ini"), "[S]\ncount=2\n");
}

// Under "ulimit -f", a write past the limit fails (rather than ending twini with SIGXFSZ): the copy that
// would outgrow it is a failure like a full disk, and output that would outgrow it like a full output.
TEST(Output, AFileSizeLimitIsAFailureThatLeavesTheFileAsItWas) {
    const std::string before = "[S]\nk=v\nlong=" + std::string(60000, 'x') + "\n[T]\nt=1\n";
    const struct {
        std::vector<std::string> arguments;
        std::string reason;  // what standard error says
    } cases[] = {
        {{"set", "app.ini", "S", "k", "w"},
         "app.ini: Disk full: cannot write 'app.ini.twtemp' (File too large)"},
        {{"app.ini", "--set", "U", "new", "1", "--del", "T", "t"},
         "app.ini: Disk full: cannot write 'app.ini.twtemp' (File too large)"},
        // With buffers of a few dozen bytes, the output outgrows its memory first, and its spill file
        // meets the limit.
        {{"get", "app.ini", "S", "long"},
         platform::small_buffers ? "app.ini: Disk full: cannot write '/tmp/(temporary)' (File too large)"
                                 : "standard output: File too large"},
    };
    for (const auto& c : cases) {
        test::temp_dir dir;
        test::write_file(dir / "app.ini", before);
        const auto r = test::run_twini(dir, {c.arguments, std::nullopt, {}, 16384});
        EXPECT_EQ(r.status, 3) << c.arguments[0];
#ifdef TARNWICK_SMALL_BUFFERS
        // Output past a few dozen bytes goes to a temporary file on its way here, which meets the limit
        // first: the same failure, told of that file.
        if (c.arguments[0] == "get") {
            EXPECT_NE(r.err.find("(File too large)"), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "twini: " + c.reason + "\n");
        }
#else
        EXPECT_EQ(r.err, "twini: " + c.reason + "\n");
#endif
        EXPECT_EQ(test::read_file(dir / "app.ini"), before);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().filename().string().rfind("app.ini.twtemp", 0), std::string::npos)
                << entry.path();
        }
    }
}

}  // namespace
