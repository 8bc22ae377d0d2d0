// The temporary-file rewrite and the append under fire: failures at every file-system call, links,
// permission bits, stale temporary files, serialised writers.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>

#include "fault.hpp"
#include "fixture.hpp"
#include "numbered.hpp"
#include "tarnwick/files/lock.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;

const std::string kSample = "[Paths]\r\nHome=C:\\x\r\nTemp=C:\\t\r\n[Colors]\r\nBack=white\r\n";
// [A] repeats: the lookups read on past the repeat, where the copy does not go.
const std::string kRepeated = "[A]\r\nx=1\r\n[A]\r\ny=2\r\n";

struct operation {
    const char* name;
    std::function<void(penmoor::ini&)> run;
    // Every content the file may hold after the operation, complete or failed part way; the first is
    // the one it starts from.
    std::vector<std::string> states;
};

// The operations on files whose lines end with CR LF, run with LineEnds 0; with lf, the same on files
// whose lines end with LF, run with LineEnds 2, which finds LF.
std::vector<operation> operations(bool lf = false) {
    std::vector<operation> ops = {
        {"addHeader",
         [](penmoor::ini& c) { c.addHeader(u"Sizes"); },
         {kSample, kSample + "\r\n\r\n[Sizes]\r\n"}},
        {"addSetting",
         [](penmoor::ini& c) { c.addSetting(u"Colors", u"Fore", u"black"); },
         {kSample, "[Paths]\r\nHome=C:\\x\r\nTemp=C:\\t\r\n[Colors]\r\nFore=black\r\nBack=white\r\n"}},
        {"updateSetting",
         [](penmoor::ini& c) { c.updateSetting(u"Paths", u"Home", u"D:\\y"); },
         {kSample, "[Paths]\r\nHome=D:\\y\r\nTemp=C:\\t\r\n[Colors]\r\nBack=white\r\n"}},
        {"deleteSetting",
         [](penmoor::ini& c) { c.deleteSetting(u"Paths", u"Temp"); },
         {kSample, "[Paths]\r\nHome=C:\\x\r\n[Colors]\r\nBack=white\r\n"}},
        {"addSetting finding the setting after its copy began",
         [](penmoor::ini& c) { c.addSetting(u"A", u"y", u"3"); },
         {kRepeated}},
        {"deleteHeader",
         [](penmoor::ini& c) { c.deleteHeader(u"Paths"); },
         {kSample, "\r\n\r\n[Colors]\r\nBack=white\r\n"}},
        {"addHeader of a name longer than the I/O buffer",
         [name = u16(std::string((1 << 20) + 100, 'h'))](penmoor::ini& c) { c.addHeader(name); },
         {kSample, kSample + "\r\n\r\n[" + std::string((1 << 20) + 100, 'h') + "]\r\n"}},
    };
    if (lf) {
        for (operation& op : ops) {
            for (std::string& state : op.states) {
                for (auto at = state.find("\r\n"); at != std::string::npos; at = state.find("\r\n", at)) {
                    state.erase(at, 1);
                }
            }
        }
    }
    return ops;
}

class Rewrite : public writer_test {};

// For n = 1, 2, 3 ...: fail the nth file-system call of the operation. Each run ends in success or in a
// run-time error; the file holds one of the operation's states (the last one on success) and the events
// are those of a complete run cut at the failure; no temporary file and no descriptor is left behind.
// The sweep ends when the operation runs to its end without reaching the nth call.
TEST_F(Rewrite, AFailureAtAnyCallLeavesTheOldOrTheNewFileAndNoTemporary) {
    for (const int errno_value : {EIO, ENOSPC, EACCES})
        for (const bool lf : {false, true}) {
            control.LineEnds(lf ? 2 : 0);
            for (const auto& op : operations(lf)) {
                if (errno_value != EIO && op.states.back().size() > 4096)
                    continue;  // one errno is enough for the big one
                bind(op.states.front());
                op.run(control);
                const std::vector<std::string> complete = events.take();
                for (int n = 1;; ++n) {
                    bind(op.states.front());
                    const int descriptors = open_descriptors();
                    bool fired = false;
                    int number = 0;
                    call failed = call::any;
                    {
                        fault_injector faults;
                        faults.fail(call::any, n, errno_value);
                        number = error_of([&] { op.run(control); });
                        fired = faults.fired();
                        failed = faults.failed_call();
                    }
                    SCOPED_TRACE(std::string(op.name) + (lf ? " (LF)" : "") + " failing call " +
                                 std::to_string(n) + " errno " + std::to_string(errno_value));
                    const std::string now = content();
                    const auto seen = events.take();
                    if (number == 0) {
                        EXPECT_EQ(now, op.states.back());
                        EXPECT_EQ(seen, complete);
                    } else {
                        EXPECT_TRUE(fired);
                        EXPECT_NE(std::find(op.states.begin(), op.states.end(), now), op.states.end()) << now;
                        // The events up to the failure, and none after it.
                        ASSERT_LT(seen.size(), complete.size());
                        EXPECT_TRUE(std::equal(seen.begin(), seen.end(), complete.begin()));
                    }
                    // No temporary file is left, unless removing it is what failed, which is then reported.
                    EXPECT_TRUE(!exists(dir / "app.ini.twtemp") || (number != 0 && failed == call::unlink));
                    std::remove((dir / "app.ini.twtemp").c_str());
                    EXPECT_EQ(open_descriptors(), descriptors);
                    if (!fired) break;
                }
            }
        }
}

// Reads and writes that move fewer bytes than asked for, from one byte to all but one, or that a signal
// interrupts, change nothing: every operation ends as it does without them.
TEST_F(Rewrite, ShortAndInterruptedTransfersChangeNothing) {
    for (const bool lf : {false, true})
        for (const auto& op : operations(lf)) {
            control.LineEnds(lf ? 2 : 0);
            bind(op.states.front());
            op.run(control);
            const std::vector<std::string> complete = events.take();
            const std::string done = content();
            const bool small = op.states.front().size() + op.states.back().size() < 4096;
            for (const std::size_t most : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 30}) {
                for (const bool interrupt : {false, true}) {
                    if (most == 1 && !small)
                        continue;  // a byte at a time through megabytes: too slow to be useful
                    bind(op.states.front());
                    {
                        fault_injector faults;
                        faults.short_counts(most);
                        if (interrupt) faults.interrupt_every_transfer();
                        op.run(control);
                    }
                    SCOPED_TRACE(std::string(op.name) + (lf ? " (LF)" : "") + " at most " +
                                 std::to_string(most) + (interrupt ? ", interrupted" : ""));
                    EXPECT_EQ(events.take(), complete);
                    EXPECT_EQ(content(), done);
                    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
                }
            }
        }
}

TEST_F(Rewrite, FailuresCarryTheirOwnNumbers) {
    const struct {
        call which;
        int errno_value;
        int number;
    } cases[] = {{call::open, EACCES, 70},  {call::open, EROFS, 70}, {call::read, EIO, 57},
                 {call::write, ENOSPC, 61}, {call::fsync, EIO, 57},  {call::rename, EACCES, 70}};
    for (const auto& c : cases) {
        bind(kSample);
        fault_injector faults;
        faults.fail(c.which, 1, c.errno_value);
        EXPECT_EQ(error_of([&] { control.updateSetting(u"Paths", u"Home", u"1"); }), c.number);
        EXPECT_TRUE(faults.fired());
        EXPECT_EQ(content(), kSample);
        EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
    }
}

TEST_F(Rewrite, AVanishedFileIsNotFoundAndNothingIsCreated) {
    bind(kSample);
    ASSERT_EQ(::unlink((dir / "app.ini").c_str()), 0);
    EXPECT_EQ(error_of([&] { control.updateSetting(u"Paths", u"Home", u"1"); }), 53);
    EXPECT_EQ(error_of([&] { control.addHeader(u"X"); }), 53);
    EXPECT_FALSE(exists(dir / "app.ini"));
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
    EXPECT_THAT(events.take(), IsEmpty());
}

TEST_F(Rewrite, PermissionBitsAreKept) {
    for (const mode_t mode : {0600, 0640, 0604, 0755}) {
        bind(kSample);
        ASSERT_EQ(::chmod((dir / "app.ini").c_str(), mode), 0);
        EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"1"), T);
        struct stat st;
        ASSERT_EQ(::stat((dir / "app.ini").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

TEST_F(Rewrite, ALinkStaysALinkAndItsTargetGetsTheContent) {
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0755), 0);
    write_file(dir / "real/app.ini", kSample);
    ASSERT_EQ(::symlink("real/app.ini", (dir / "link.ini").c_str()), 0);
    control.File(u16(dir / "link.ini"));
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"1"), T);
    EXPECT_EQ(control.deleteHeader(u"Colors"), T);
    struct stat st;
    ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_file(dir / "real/app.ini"), "\r\n\r\n[Paths]\r\nHome=1\r\nTemp=C:\\t\r\n");
    EXPECT_FALSE(exists(dir / "real/app.ini.twtemp"));
    EXPECT_FALSE(exists(dir / "link.ini.twtemp"));
}

TEST_F(Rewrite, AStaleTemporaryFileIsReplacedSilently) {
    bind(kSample);
    write_file(dir / "app.ini.twtemp", "left over by a call that was killed");
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"1"), T);
    EXPECT_THAT(events.take(), ElementsAre("hasWrite"));
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
    // A stale name that is a link is removed, never written through.
    write_file(dir / "victim", "untouched");
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "app.ini.twtemp").c_str()), 0);
    EXPECT_EQ(control.deleteSetting(u"Paths", u"Temp"), T);
    EXPECT_EQ(read_file(dir / "victim"), "untouched");
    EXPECT_EQ(content(), "[Paths]\r\nHome=1\r\n[Colors]\r\nBack=white\r\n");
}

TEST_F(Rewrite, ARewriteStartedFromAHandlerOfTheSameFileIsErrorFiftyFive) {
    bind("[A]\r\nk=1\r\nk=2\r\n[B]\r\nx=1\r\n");
    struct nested : penmoor::ini_events {
        penmoor::ini* control = nullptr;
        std::vector<int> numbers;
        void State(std::int16_t& code) override {
            if (code != penmoor::TW_MANYSETTINGS) return;
            numbers.push_back(error_of([&] { control->updateSetting(u"B", u"x", u"2"); }));
            numbers.push_back(error_of([&] { control->addHeader(u"C"); }));
            numbers.push_back(control->getSetting(u"B", u"x") == u"1" ? 0 : -1);  // reading is fine
        }
    } handler;
    handler.control = &control;
    control.connect(handler);
    EXPECT_EQ(control.updateSetting(u"A", u"k", u"9"), T);
    EXPECT_THAT(handler.numbers, ElementsAre(55, 55, 0));
    EXPECT_EQ(content(), "[A]\r\nk=9\r\nk=2\r\n[B]\r\nx=1\r\n");
}

TEST_F(Rewrite, AWriterThatWaitedWorksOnTheFileAsItIsNow) {
    bind(kSample);
    fault_injector faults;
    // Just before the lock is taken, another writer replaces the file by a rename.
    faults.before(call::flock, 1, [&] {
        write_file(dir / "other", "[Paths]\r\nHome=C:\\x\r\nNew=1\r\n");
        ASSERT_EQ(::rename((dir / "other").c_str(), (dir / "app.ini").c_str()), 0);
    });
    EXPECT_EQ(control.updateSetting(u"Paths", u"Home", u"2"), T);
    EXPECT_EQ(content(), "[Paths]\r\nHome=2\r\nNew=1\r\n");
}

TEST_F(Rewrite, WaitingForAnotherWriterIsBounded) {
    bind(kSample);
    const int holder = ::open((dir / "app.ini").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const auto saved = platform::lock_wait_limit;
    platform::lock_wait_limit = std::chrono::milliseconds(100);
    EXPECT_EQ(error_of([&] { control.updateSetting(u"Paths", u"Home", u"1"); }), 70);
    EXPECT_EQ(error_of([&] { control.addHeader(u"X"); }), 70);
    platform::lock_wait_limit = saved;
    ::close(holder);
    EXPECT_EQ(content(), kSample);
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
}

// Four processes update fifty settings each of one file at once, while this process reads it.
TEST_F(Rewrite, ConcurrentWritersOfDifferentSettingsLoseNoUpdate) {
    constexpr int writers = 4, per_writer = 50;
    std::string initial = "[S]\r\n";
    for (int i = 0; i < writers * per_writer; ++i) initial += test::numbered("k", i) + "=old\r\n";
    bind(initial);
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            penmoor::ini writer;
            writer.File(u16(dir / "app.ini"));
            int failures = 0;
            for (int i = w * per_writer; i < (w + 1) * per_writer; ++i) {
                const auto value = u16("new" + std::to_string(i));
                try {
                    if (writer.updateSetting(u"S", u16(test::numbered("k", i)), value) != T) ++failures;
                } catch (...) {
                    ++failures;
                }
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    std::map<pid_t, int> statuses;
    auto all_done = [&] {
        for (const pid_t pid : children) {
            int status = 0;
            if (!statuses.contains(pid) && ::waitpid(pid, &status, WNOHANG) == pid) statuses[pid] = status;
        }
        return statuses.size() == children.size();
    };
    int reads = 0;
    for (bool done = false; !done;) {
        done = all_done();
        const std::string now = content();
        ++reads;
        ASSERT_EQ(now.substr(0, 5), "[S]\r\n");
        ASSERT_EQ(std::count(now.begin(), now.end(), '\n'), writers * per_writer + 1) << "torn read";
        ASSERT_EQ(now.back(), '\n');
    }
    EXPECT_GT(reads, 1);
    for (const auto& [pid, status] : statuses) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << pid;
    }
    const std::string final_content = content();
    for (int i = 0; i < writers * per_writer; ++i) {
        EXPECT_NE(final_content.find(test::numbered("k", i) + test::numbered("=new", i) + "\r\n"),
                  std::string::npos)
            << "lost update of k" << i;
    }
}

}  // namespace
