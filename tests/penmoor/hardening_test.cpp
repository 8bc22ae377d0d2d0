// The writer against file systems, other users and other processes that do not play along: short reads,
// links re-pointed while it works, files it may not write, files that are not files, racing writers.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "fault.hpp"
#include "fixture.hpp"
#include "numbered.hpp"

namespace {

using namespace test;
constexpr auto T = platform::True;
constexpr auto F = platform::False;

// A file of about 1.2 MB whose last section is [Last] with Target=old.
std::string big_content() {
    std::string text;
    for (int s = 0; text.size() < 1'200'000; ++s) {
        text += "[S" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 10; ++k) text += "key" + std::to_string(k) + "=a value of some length\r\n";
    }
    return text + "[Last]\r\nTarget=old\r\n";
}

struct stat status_of(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

class Hardening : public writer_test {};

// Reads that return fewer bytes than asked for (as user-space and network file systems give), and
// reads and writes interrupted by signals, change nothing of what an edit does.
TEST_F(Hardening, ShortReadsAreNeverTakenForTheEndOfTheFile) {
    const std::string before = big_content();
    std::string after = before;
    after.replace(after.size() - 5, 3, "new");
    for (const std::size_t most : {std::size_t{4095}, std::size_t{65536}, std::size_t{999'999}}) {
        for (const bool interrupt : {false, true}) {
            bind(before);
            fault_injector faults;
            faults.short_counts(most);
            if (interrupt) faults.interrupt_every_transfer();
            SCOPED_TRACE(std::to_string(most) + (interrupt ? " interrupted" : ""));
            EXPECT_EQ(control.updateSetting(u"Last", u"Target", u"new"), T);
            EXPECT_EQ(control.getSetting(u"Last", u"Target"), u"new");
            EXPECT_EQ(control.isHeader(u"Last"), T);
            EXPECT_EQ(events.take(), std::vector<std::string>{"hasWrite"});
            EXPECT_EQ(content(), after);
        }
    }
}

// deleteHeader counts the distinct setting names of the section; long names are compared by reading
// them back from the file, which short reads must not make look different.
TEST_F(Hardening, LongSettingNamesAreToldApartThroughShortReads) {
    const std::string a(300, 'a'), b = std::string(299, 'a') + "b";
    for (const std::size_t most : {std::size_t{0}, std::size_t{1}, std::size_t{100}}) {
        bind("[S]\r\n" + a + "=1\r\n" + b + "=2\r\n" + a + "=3\r\n[T]\r\n");
        fault_injector faults;
        faults.short_counts(most);
        EXPECT_EQ(control.deleteHeader(u"S"), T);
        EXPECT_THAT(events.take(), ElementsAre("hasWrite", "hasWrite", "hasWrite")) << most;
        EXPECT_EQ(content(), "\r\n\r\n[T]\r\n");
    }
}

// Another process flips the bound link between two files while the edit waits for its lock: the edit
// starts over with the file the link leads to now, and no file gets the other's content.
TEST_F(Hardening, ALinkRepointedDuringAnEditNeverMixesTwoFiles) {
    write_file(dir / "A.ini", "[S]\r\nwho=A\r\n");
    write_file(dir / "B.ini", "[S]\r\nwho=B\r\n");
    ASSERT_EQ(::symlink("A.ini", (dir / "t.ini").c_str()), 0);
    control.File(u16(dir / "t.ini"));
    events.take();
    {
        fault_injector faults;
        faults.before(call::flock, 1, [&] {
            ASSERT_EQ(::symlink("B.ini", (dir / "l").c_str()), 0);
            ASSERT_EQ(::rename((dir / "l").c_str(), (dir / "t.ini").c_str()), 0);
        });
        EXPECT_EQ(control.addSetting(u"S", u"k", u"1"), T);
    }
    EXPECT_EQ(read_file(dir / "A.ini"), "[S]\r\nwho=A\r\n");
    EXPECT_EQ(read_file(dir / "B.ini"), "[S]\r\nk=1\r\nwho=B\r\n");
    EXPECT_TRUE(S_ISLNK(status_of(dir / "t.ini").st_mode));

    // And with a real process flipping the link as fast as it can.
    const pid_t flipper = ::fork();
    if (flipper == 0) {
        for (int i = 0;; ++i) {
            const std::string next = i % 2 ? "A.ini" : "B.ini";
            if (::symlink(next.c_str(), (dir / "l").c_str()) != 0 ||
                ::rename((dir / "l").c_str(), (dir / "t.ini").c_str()) != 0) {
                ::_exit(1);
            }
        }
    }
    for (int i = 0; i < 200; ++i) control.updateSetting(u"S", u"k", u16(std::to_string(i)));
    ::kill(flipper, SIGKILL);
    ::waitpid(flipper, nullptr, 0);
    const std::string a = read_file(dir / "A.ini"), b = read_file(dir / "B.ini");
    EXPECT_TRUE(a.starts_with("[S]\r\n") && a.ends_with("\r\nwho=A\r\n") &&
                a.find("who=B") == std::string::npos)
        << a;
    EXPECT_TRUE(b.starts_with("[S]\r\nk=") && b.ends_with("\r\nwho=B\r\n") &&
                b.find("who=A") == std::string::npos)
        << b;
}

// A rewrite keeps owner, group and mode, set-user-id and set-group-id included.
TEST_F(Hardening, OwnerGroupAndSpecialBitsAreKept) {
    for (const mode_t mode : {06755, 04700, 02770, 01644}) {
        bind("[S]\r\nk=1\r\n");
        const std::string path = dir / "app.ini";
        if (can_act_as_others()) {
            ASSERT_EQ(::chown(path.c_str(), 1000, 1234), 0);
        }
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        const struct stat before = status_of(path);
        EXPECT_EQ(control.updateSetting(u"S", u"k", u"2"), T);
        EXPECT_NE(status_of(path).st_ino, before.st_ino);  // replaced, not written in place
        EXPECT_EQ(control.addHeader(u"N"), T);
        const struct stat after = status_of(path);
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
    }
}

// A member of the file's group edits a shared 0660 file: the copy could not belong to the file's owner,
// so the edit is refused, and the owner keeps the file.
TEST_F(Hardening, AGroupMembersEditNeverTakesTheFileFromItsOwner) {
    if (!can_act_as_others()) GTEST_SKIP() << "needs root to act as other users";
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string path = dir / "shared.ini";
    write_file(path, "[S]\r\nk=1\r\n");
    ASSERT_EQ(::chown(path.c_str(), 1000, 1234), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    auto update_as = [&](uid_t uid) {
        return as_user(uid, 1234, [&] {
            penmoor::ini w;
            w.File(u16(path));
            return error_of([&] { w.updateSetting(u"S", u"k", u"2"); });
        });
    };
    EXPECT_EQ(update_as(1001), 70);
    EXPECT_EQ(read_file(path), "[S]\r\nk=1\r\n");
    EXPECT_EQ(status_of(path).st_uid, 1000u);
    EXPECT_FALSE(exists(path + ".twtemp"));
    EXPECT_EQ(update_as(1000), 0);  // the owner edits, and still owns it
    EXPECT_EQ(read_file(path), "[S]\r\nk=2\r\n");
    EXPECT_EQ(status_of(path).st_uid, 1000u);
    EXPECT_EQ(status_of(path).st_mode & 07777, 0660u);
}

// Write permission on the directory is not enough: the file itself must be writable.
TEST_F(Hardening, AFileTheCallerMayNotWriteIsNeverReplaced) {
    if (!can_act_as_others()) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(::chown(dir.path().c_str(), 1001, 1001), 0);
    const std::string own = dir / "own.ini", roots = dir / "roots.ini";
    write_file(own, "[S]\r\nk=1\r\n");
    write_file(roots, "[S]\r\nk=1\r\n");
    ASSERT_EQ(::chown(own.c_str(), 1001, 1001), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(roots.c_str(), 0644), 0);
    for (const std::string& path : {own, roots}) {
        const int outcome = as_user(1001, 1001, [&] {
            penmoor::ini w;
            w.File(u16(path));
            for (const int number :
                 {error_of([&] { w.updateSetting(u"S", u"k", u"2"); }),
                  error_of([&] { w.deleteSetting(u"S", u"k"); }),
                  error_of([&] { w.addSetting(u"S", u"j", u"2"); }), error_of([&] { w.deleteHeader(u"S"); }),
                  error_of([&] { w.addHeader(u"N"); })}) {
                if (number != 70) return number;
            }
            // Reading is still fine.
            return w.getSetting(u"S", u"k") == u"1" ? 70 : 1;
        });
        EXPECT_EQ(outcome, 70) << path;
        EXPECT_EQ(read_file(path), "[S]\r\nk=1\r\n") << path;
        EXPECT_FALSE(exists(path + ".twtemp"));
    }
    EXPECT_EQ(status_of(roots).st_uid, 0u);
    EXPECT_EQ(status_of(own).st_mode & 07777, 0444u);
}

// A file with another name elsewhere is not split into two files by a rewrite.
TEST_F(Hardening, AFileWithSeveralHardLinksIsRefusedNotSplit) {
    bind("[S]\r\nk=1\r\n");
    ASSERT_EQ(::link((dir / "app.ini").c_str(), (dir / "other.ini").c_str()), 0);
    EXPECT_EQ(error_of([&] { control.updateSetting(u"S", u"k", u"2"); }), 70);
    EXPECT_EQ(error_of([&] { control.addHeader(u"N"); }), 70);
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_EQ(control.addSetting(u"S", u"k", u"2"), F);  // nothing to change: nothing refused
    EXPECT_EQ(read_file(dir / "other.ini"), "[S]\r\nk=1\r\n");
    EXPECT_EQ(content(), "[S]\r\nk=1\r\n");
    EXPECT_FALSE(exists(dir / "app.ini.twtemp"));
}

// The lookup and the change are one step under the lock: processes that add the same names add each
// once, and exactly one of them is told it did.
TEST_F(Hardening, RacingWritersAddEachSettingAndSectionOnce) {
    constexpr int writers = 4, names = 150, sections = 40;
    bind("[S]\r\n");
    auto race = [&](auto add) {
        std::vector<pid_t> children;
        for (int w = 0; w < writers; ++w) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                penmoor::ini writer;
                writer.File(u16(dir / "app.ini"));
                int added = 0;
                try {
                    for (int i = 0; i < names; ++i) added += add(writer, i) == T ? 1 : 0;
                } catch (...) {
                    ::_exit(255);
                }
                ::_exit(added);
            }
            children.push_back(pid);
        }
        int total = 0;
        for (const pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 255);
            total += WEXITSTATUS(status);
        }
        return total;
    };
    EXPECT_EQ(
        race([](penmoor::ini& w, int i) { return w.addSetting(u"S", u16(test::numbered("k", i)), u"v"); }),
        names);
    const std::string settings = content();
    for (int i = 0; i < names; ++i) {
        const std::string line = "\r\nk" + std::to_string(i) + "=v\r\n";
        const auto first = settings.find(line);
        EXPECT_NE(first, std::string::npos) << i;
        EXPECT_EQ(settings.find(line, first + 1), std::string::npos) << "k" << i << " twice";
    }
    EXPECT_EQ(race([&](penmoor::ini& w, int i) {
                  return i < sections ? w.addHeader(u16("T" + std::to_string(i))) : F;
              }),
              sections);
    const std::string headers = content();
    for (int i = 0; i < sections; ++i) {
        const std::string line = "\r\n[T" + std::to_string(i) + "]\r\n";
        const auto first = headers.find(line);
        EXPECT_NE(first, std::string::npos) << i;
        EXPECT_EQ(headers.find(line, first + 1), std::string::npos) << "[T" << i << "] twice";
    }
}

// A bound path that has become a pipe or a device is refused at once (error 75), never waited on or
// read without end.
TEST_F(Hardening, APathThatIsNoLongerARegularFileIsRefusedWithoutWaiting) {
    bind("[S]\r\nk=1\r\n");
    const std::string path = dir / "app.ini";
    auto every_operation = [&] {
        std::vector<int> numbers;
        numbers.push_back(error_of([&] { control.isHeader(u"S"); }));
        numbers.push_back(error_of([&] { control.getSetting(u"S", u"k"); }));
        numbers.push_back(error_of([&] { control.updateSetting(u"S", u"k", u"2"); }));
        numbers.push_back(error_of([&] { control.addHeader(u"N"); }));
        numbers.push_back(error_of([&] { control.deleteHeader(u"S"); }));
        return numbers;
    };
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    EXPECT_THAT(every_operation(), ::testing::Each(75));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    EXPECT_THAT(every_operation(), ::testing::Each(75));
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    EXPECT_THAT(every_operation(), ::testing::Each(75));
    EXPECT_THAT(events.take(), IsEmpty());
}

// A name with no room for ".twtemp" after it says so, rather than failing on a file it never made.
TEST_F(Hardening, ANameTooLongForItsTemporaryCopyIsToldSo) {
    const std::string name = std::string(250, 'n') + ".ini";
    bind("[S]\r\nk=1\r\n", name);
    std::string message;
    try {
        control.updateSetting(u"S", u"k", u"2");
    } catch (const platform::runtime_error& e) {
        EXPECT_EQ(e.number(), 52);
        message = e.what();
    }
    EXPECT_NE(message.find("is too long for its temporary copy"), std::string::npos) << message;
    EXPECT_EQ(content(name), "[S]\r\nk=1\r\n");
}

}  // namespace
