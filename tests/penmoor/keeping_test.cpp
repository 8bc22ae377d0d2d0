// What an edit keeps of a file besides its text (ACLs, extended attributes), and what others can leave in
// its way (a copy they left behind, a lock they hold).
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "fault.hpp"
#include "fixture.hpp"
#include "tarnwick/files/lock.hpp"

namespace {

using namespace test;

// A POSIX ACL as the system stores it: the owner, one named user, the owning group, the mask and others.
std::string acl_of(unsigned owner, unsigned named_user, unsigned user_id, unsigned group, unsigned mask,
                   unsigned others) {
    std::string blob;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) blob += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(2, 4);  // version
    const struct {
        unsigned tag, perm, id;
    } entries[] = {{0x01, owner, ~0u},
                   {0x02, named_user, user_id},
                   {0x04, group, ~0u},
                   {0x10, mask, ~0u},
                   {0x20, others, ~0u}};
    for (const auto& e : entries) {
        put(e.tag, 2);
        put(e.perm, 2);
        put(e.id, 4);
    }
    return blob;
}

std::string attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(n));
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

class Keeping : public writer_test {};

// How a process holds a file.
enum class hold { flock_exclusive, flock_shared, posix_read, flock_of_ended_taker };

struct holding {
    pid_t taker, keeper;  // the process that took the lock, and the one that keeps it now
};

// Starts a process that holds the file as how says, and waits until it does. Every holder runs on one
// CPU, so that /proc/locks lists their locks newest first.
holding start_holding(const std::string& path, hold how) {
    cpu_set_t cpus;
    ::sched_getaffinity(0, sizeof cpus, &cpus);
    int cpu = 0;
    while (cpu < CPU_SETSIZE - 1 && !CPU_ISSET(cpu, &cpus)) ++cpu;
    int ready[2];
    if (::pipe(ready) != 0) return {-1, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        CPU_ZERO(&cpus);
        CPU_SET(cpu, &cpus);
        ::sched_setaffinity(0, sizeof cpus, &cpus);
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (how == hold::posix_read) {
            struct flock range {};
            range.l_type = F_RDLCK;
            range.l_whence = SEEK_SET;
            ::fcntl(fd, F_SETLK, &range);
        } else {
            ::flock(fd, how == hold::flock_shared ? LOCK_SH : LOCK_EX);
        }
        const pid_t taker = ::getpid();
        // The lock belongs to the open file description, which a child forked now shares.
        if (how == hold::flock_of_ended_taker && ::fork() != 0) ::_exit(0);
        const holding h{taker, ::getpid()};
        ::write(ready[1], &h, sizeof h);
        ::pause();
        ::_exit(0);
    }
    holding h{-1, -1};
    if (::read(ready[0], &h, sizeof h) != sizeof h) h = {-1, -1};
    ::close(ready[0]);
    ::close(ready[1]);
    if (how == hold::flock_of_ended_taker) ::waitpid(child, nullptr, 0);
    return h;
}

bool names_process(const std::string& message, pid_t pid) {
    const std::string process = "(process " + std::to_string(pid);
    return message.find(process + ", ") != std::string::npos ||
           message.find(process + ")") != std::string::npos;
}

// A 0600 file that an ACL opens to one more user and that carries an attribute: after an edit the ACL,
// the attribute and the mode (whose group bits are the ACL's mask) are as they were, so the owning group
// gains nothing and the named user loses nothing.
TEST_F(Keeping, AclsAndAttributesAreKeptAndAccessNeverWidens) {
    bind("[S]\r\npassword=1\r\n");
    const std::string path = dir / "app.ini";
    const std::string acl = acl_of(6, 6, 1234, 0, 6, 0);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    if (::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "no ACLs here: " << std::strerror(errno);
    }
    ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "debian", 6, 0), 0);
    const mode_t before = mode_of(path);
    EXPECT_EQ(control.updateSetting(u"S", u"password", u"2"), platform::True);
    EXPECT_EQ(control.addHeader(u"N"), platform::True);
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), acl);
    EXPECT_EQ(attribute(path, "user.origin"), "debian");
    EXPECT_EQ(mode_of(path), before);

    // A directory whose default ACL lets a user in: a file made before it has no ACL, and an edit does
    // not give it the one the directory gives new files.
    const std::string plain = dir / "plain.ini";
    write_file(plain, "[S]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(plain.c_str(), 0600), 0);
    ASSERT_EQ(::setxattr(dir.path().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0), 0);
    penmoor::ini w;
    w.File(u16(plain));
    EXPECT_EQ(w.updateSetting(u"S", u"k", u"2"), platform::True);
    EXPECT_EQ(attribute(plain, "system.posix_acl_access"), "(none)");
    EXPECT_EQ(mode_of(plain), 0600u);
    EXPECT_EQ(read_file(plain), "[S]\r\nk=2\r\n");
}

// An attribute that the copy cannot be given (a file system without them, say) refuses the edit before
// anything changes, naming the attribute.
TEST_F(Keeping, AnAttributeThatCannotBeGivenRefusesTheEdit) {
    bind("[S]\r\nk=1\r\n");
    const std::string path = dir / "app.ini";
    ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "debian", 6, 0), 0);
    std::string message;
    {
        fault_injector faults;
        faults.fail(call::setxattr, 1, ENOTSUP, true);
        try {
            control.updateSetting(u"S", u"k", u"2");
        } catch (const platform::runtime_error& e) {
            EXPECT_EQ(e.number(), 70);
            message = e.what();
        }
    }
    EXPECT_NE(message.find("'user.origin'"), std::string::npos) << message;
    EXPECT_EQ(content(), "[S]\r\nk=1\r\n");
    EXPECT_THAT(events.take(), IsEmpty());
    EXPECT_FALSE(exists(path + ".twtemp"));
}

// Another user's copy left in a sticky directory (as /tmp is), which the editor may not delete, does
// not keep the file's owner from editing it: the edit takes a fresh name, and leaves nothing of its own.
TEST_F(Keeping, ALeftoverCopyNobodyMayRemoveNeverBlocksAnEdit) {
    if (!can_act_as_others()) GTEST_SKIP() << "needs root to act as other users";
    ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
    const std::string path = dir / "bob.ini", stale = dir / "bob.ini.twtemp";
    write_file(path, "[S]\r\nk=1\r\n");
    write_file(stale, "someone else's");
    ASSERT_EQ(::chown(path.c_str(), 1001, 1001), 0);
    ASSERT_EQ(::chown(stale.c_str(), 1002, 1002), 0);
    const int outcome = as_user(1001, 1001, [&] {
        penmoor::ini w;
        w.File(u16(path));
        return error_of([&] { w.updateSetting(u"S", u"k", u"2"); });
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(read_file(path), "[S]\r\nk=2\r\n");
    EXPECT_EQ(read_file(stale), "someone else's");
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++names;
    EXPECT_EQ(names, 2u);
}

// A process that holds the lock (any reader of the file can) keeps edits waiting until they give up:
// the message names it.
TEST_F(Keeping, AWriterKeptWaitingIsToldWhoHoldsTheLock) {
    bind("[S]\r\nk=1\r\n");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open((dir / "app.ini").c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const auto saved = platform::lock_wait_limit;
    platform::lock_wait_limit = std::chrono::milliseconds(50);
    std::string message;
    try {
        control.updateSetting(u"S", u"k", u"2");
    } catch (const platform::runtime_error& e) {
        message = e.what();
    }
    platform::lock_wait_limit = saved;
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_NE(message.find("(process " + std::to_string(holder) + ", "), std::string::npos) << message;
}

// Only a flock keeps an edit's flock waiting: the message names a live holder of one, never a process
// with another kind of lock on the file, nor one that took the flock and has ended.
TEST_F(Keeping, AWriterKeptWaitingIsToldOnlyOfALiveHolderOfTheFlock) {
    const struct {
        const char* what;
        std::vector<hold> holders;  // in the order they take the file
        int named;                  // the one the message names, or -1
    } cases[] = {
        {"a POSIX read lock taken after the flock", {hold::flock_exclusive, hold::posix_read}, 0},
        {"a shared flock, and a POSIX read lock", {hold::flock_shared, hold::posix_read}, 0},
        {"a flock whose taker has ended, kept by its child",
         {hold::flock_of_ended_taker, hold::posix_read},
         -1},
    };
    const auto saved = platform::lock_wait_limit;
    platform::lock_wait_limit = std::chrono::milliseconds(50);
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / ("case" + std::to_string(n++) + ".ini");
        write_file(path, "[S]\r\nk=1\r\n");
        std::vector<holding> holders;
        for (const hold how : c.holders) holders.push_back(start_holding(path, how));
        std::string message;
        try {
            platform::locked_file locked(path);
        } catch (const platform::runtime_error& e) {
            message = e.what();
        }
        for (const holding& h : holders) {
            ::kill(h.keeper, SIGKILL);
            if (h.keeper == h.taker) ::waitpid(h.keeper, nullptr, 0);
        }
        EXPECT_NE(message.find("another process keeps it locked"), std::string::npos) << message;
        for (std::size_t i = 0; i < holders.size(); ++i) {
            EXPECT_GT(holders[i].taker, 0);
            EXPECT_EQ(names_process(message, holders[i].taker), static_cast<int>(i) == c.named) << message;
        }
        if (c.named < 0) {
            EXPECT_NE(message.find("(process unknown)"), std::string::npos) << message;
        }
    }
    platform::lock_wait_limit = saved;
}

}  // namespace
