// The registry file: what it trusts and refuses, how it follows links, and that a change is whole or
// absent whatever system call fails.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "fault.hpp"
#include "tarnwick/components/registry.hpp"
#include "temp_dir.hpp"

namespace {

namespace reg = platform::registry;
using test::call;

reg::entry make_entry(const char* class_id, const char* prog_id, const char* path) {
    reg::entry e;
    e.class_id = *reg::parse_guid(class_id);
    e.prog_id = prog_id;
    e.path = path;
    e.threading_model = "Apartment";
    e.misc_status = 0x20591;
    e.toolbox_bitmap = 30000;
    e.type_library_version = "1.0";
    return e;
}

const reg::entry first = make_entry("{06CE024A-1FA9-4B47-BD76-069167EB292A}", "first.ini", "/lib/first.so");
const reg::entry second =
    make_entry("{1586DEDE-9569-4721-8175-178F054C778E}", "second.ini", "/lib/second.so");

// The message of the registry error that f ends with; fails the test when it ends otherwise.
template <class F>
std::string refusal(F f) {
    try {
        f();
    } catch (const reg::error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no registry error";
    return {};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string real(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

class RegistryFile : public ::testing::Test {
  protected:
    // Files the test makes get the usual permissions whatever the caller's umask.
    RegistryFile() : saved_umask_(::umask(022)) {}
    ~RegistryFile() override { ::umask(saved_umask_); }

    // A registry holding `first`, as registration writes it.
    std::string registry_with_first() {
        const std::string file = dir / "registry";
        reg::add(file, first);
        return file;
    }

    test::temp_dir dir;

  private:
    mode_t saved_umask_;
};

// Lines end at LF, as the registry writes them, and at CR LF, as an editor may have left them.
TEST_F(RegistryFile, LinesEndingInCrLfReadTheSame) {
    const std::string file = registry_with_first();
    reg::add(file, second);
    std::string crlf;
    for (const char c : test::read_file(file)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::write_file(file, crlf);
    const auto entries = reg::load(file);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].prog_id, "first.ini");
    EXPECT_EQ(entries[1].path, "/lib/second.so");
    EXPECT_EQ(entries[1].type_library_version, "1.0");
}

TEST_F(RegistryFile, AFileOrDirectoryOthersMayWriteIsRefusedAndLeftAsItWas) {
    const std::string file = registry_with_first();
    const std::string before = test::read_file(file);
    for (const mode_t mode : {0620, 0602, 0666}) {
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        const std::string why = refusal([&] { reg::load(file); });
        EXPECT_TRUE(contains(why, "refusing the registry file '" + file + "'")) << why;
        EXPECT_TRUE(
            contains(why, mode == 0620 ? "it is writable by its group (mode 0620)" : "writable by others"))
            << why;
        EXPECT_TRUE(contains(refusal([&] { reg::add(file, second); }), "refusing the registry file")) << why;
        EXPECT_TRUE(contains(refusal([&] { reg::remove(file, first.class_id); }), "refusing")) << why;
        EXPECT_EQ(test::read_file(file), before);
    }
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    ASSERT_EQ(reg::load(file).size(), 1u);  // readable by others is fine: only writing matters

    for (const mode_t mode : {0770, 0707, 01777}) {
        ASSERT_EQ(::chmod(dir.path().c_str(), mode), 0);
        const std::string why = refusal([&] { reg::load(file); });
        EXPECT_TRUE(contains(why, "refusing the registry directory '" + dir.path() + "'")) << why;
        EXPECT_TRUE(contains(refusal([&] { reg::add(file, second); }), "refusing the registry directory"));
        EXPECT_EQ(test::read_file(file), before);
    }
    // A registry yet to be made is not made in such a directory either.
    ASSERT_EQ(::unlink(file.c_str()), 0);
    EXPECT_TRUE(contains(refusal([&] { reg::add(file, second); }), "refusing the registry directory"));
    EXPECT_FALSE(test::exists(file));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
}

TEST_F(RegistryFile, AFileOrDirectoryOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    const uid_t stranger = 4242;
    const std::string file = registry_with_first();
    ASSERT_EQ(::chown(file.c_str(), stranger, stranger), 0);
    std::string why = refusal([&] { reg::load(file); });
    EXPECT_TRUE(contains(why, "refusing the registry file '" + file + "': it belongs to user 4242")) << why;
    EXPECT_TRUE(contains(refusal([&] { reg::add(file, second); }), "belongs to user 4242"));
    ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    ASSERT_EQ(reg::load(file).size(), 1u);

    // The directory: whoever owns it may swap the file.
    const std::string sub = dir / "theirs";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    reg::add(sub + "/registry", first);
    ASSERT_EQ(::chown(sub.c_str(), stranger, stranger), 0);
    why = refusal([&] { reg::load(sub + "/registry"); });
    EXPECT_TRUE(contains(why, "refusing the registry directory '" + sub + "': it belongs to user 4242"))
        << why;
}

TEST_F(RegistryFile, ALibraryPathMustBeAbsoluteInTheFileAndWhenRegistering) {
    const std::string file = dir / "registry";
    test::write_file(file, "[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nProgID=a.b\nPath=liba.so\n");
    std::string why = refusal([&] { reg::load(file); });
    EXPECT_EQ(why, "malformed registry '" + file + "': line 3: Path is not an absolute path: 'liba.so'");
    test::write_file(file, "[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nPath=./liba.so\n");
    EXPECT_TRUE(contains(refusal([&] { reg::load(file); }), "line 2: Path is not an absolute path"));
    test::write_file(file, "# no path\n[{06CE024A-1FA9-4B47-BD76-069167EB292A}]\nProgID=a.b\n");
    why = refusal([&] { reg::load(file); });
    EXPECT_EQ(why, "malformed registry '" + file +
                       "': line 2: class {06CE024A-1FA9-4B47-BD76-069167EB292A} has no library path (Path=)");

    ASSERT_EQ(::unlink(file.c_str()), 0);
    reg::entry relative = first;
    relative.path = "libfirst.so";
    why = refusal([&] { reg::add(file, relative); });
    EXPECT_EQ(why, "cannot register in '" + file + "': the library path 'libfirst.so' is not absolute");
    EXPECT_FALSE(test::exists(file));
}

TEST_F(RegistryFile, ALockThatIsASymbolicLinkIsRefusedAndNotFollowed) {
    const std::string file = registry_with_first();
    const std::string before = test::read_file(file);
    ASSERT_EQ(::unlink((file + ".lock").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (file + ".lock").c_str()), 0);
    const std::string why = refusal([&] { reg::add(file, second); });
    EXPECT_TRUE(contains(why, "refusing the registry's lock '" + file + ".lock': it is a symbolic link"))
        << why;
    EXPECT_FALSE(test::exists(dir / "elsewhere"));  // the link was not followed to create its target
    EXPECT_EQ(test::read_file(file), before);
    EXPECT_EQ(reg::load(file).size(), 1u);  // reading takes no lock
}

TEST_F(RegistryFile, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0700), 0);
    const std::string target = dir / "real/registry", link = dir / "registry";
    reg::add(target, first);
    ASSERT_EQ(::symlink("real/registry", link.c_str()), 0);

    reg::add(link, second);
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    const auto entries = reg::load(target);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].prog_id, "second.ini");
    EXPECT_TRUE(test::exists(target + ".lock"));  // the lock is the target's, whatever name it is reached by
    EXPECT_FALSE(test::exists(link + ".lock"));
    EXPECT_TRUE(reg::remove(link, first.class_id));
    EXPECT_EQ(reg::load(link).size(), 1u);

    // The checks are the target's and its directory's.
    ASSERT_EQ(::chmod(target.c_str(), 0660), 0);
    EXPECT_TRUE(
        contains(refusal([&] { reg::load(link); }), "refusing the registry file '" + real(target) + "'"));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::chmod((dir / "real").c_str(), 0777), 0);
    EXPECT_TRUE(contains(refusal([&] { reg::add(link, first); }), "refusing the registry directory"));
    ASSERT_EQ(::chmod((dir / "real").c_str(), 0700), 0);

    // A link that leads nowhere: nothing is registered, and nothing can be until it leads somewhere.
    ASSERT_EQ(::unlink(target.c_str()), 0);
    EXPECT_TRUE(reg::load(link).empty());
    EXPECT_TRUE(contains(refusal([&] { reg::add(link, first); }), "a symbolic link that leads nowhere"));
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(RegistryFile, APipeOrADirectoryAsTheRegistryIsRefusedWithoutWaiting) {
    const std::string file = dir / "registry";
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // Opening a pipe for reading would wait for a writer that never comes.
    std::string why = refusal([&] { reg::load(file); });
    EXPECT_TRUE(contains(why, "'" + file + "' is not a regular file")) << why;
    EXPECT_TRUE(contains(refusal([&] { reg::add(file, first); }), "is not a regular file"));
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::mkdir(file.c_str(), 0700), 0);
    EXPECT_TRUE(contains(refusal([&] { reg::load(file); }), "is not a regular file"));
}

TEST_F(RegistryFile, MissingDirectoriesAreMadeForTheUserAlone) {
    const mode_t saved = ::umask(0);
    const std::string file = dir / "config/tarnwick/registry";
    reg::add(file, first);
    ::umask(saved);
    for (const char* sub : {"config", "config/tarnwick"}) {
        struct stat st;
        ASSERT_EQ(::stat((dir / sub).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << sub;
    }
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Each directory made for a registry, and the one holding it, is flushed once made; the registry's copy
// is flushed before it is renamed into place, and its directory after.
TEST_F(RegistryFile, MadeDirectoriesTheirParentsAndTheCopyAreFlushedInOrder) {
    const std::string tarnwick = dir / "config/tarnwick", file = tarnwick + "/registry";
    std::vector<std::string> calls;
    {
        test::fault_injector faults;
        faults.record();
        reg::add(file, first);
        calls = faults.recorded();
    }
    // Where call is among the calls from `from` on; calls.size() when it is not.
    auto at = [&](const std::string& call, std::size_t from = 0) {
        return static_cast<std::size_t>(
            std::find(calls.begin() + static_cast<long>(from), calls.end(), call) - calls.begin());
    };
    const std::size_t made = at("mkdir " + tarnwick);
    ASSERT_LT(made, calls.size());
    for (const std::string& flushed : {dir.path(), dir / "config", tarnwick}) {
        EXPECT_LT(at("fsync " + flushed, made), calls.size()) << flushed;
    }
    const auto rename = std::ranges::find_if(
        calls, [&](const std::string& c) { return c.starts_with("renameat ") && c.ends_with(" " + file); });
    ASSERT_NE(rename, calls.end());
    const std::string copy = rename->substr(9, rename->size() - 10 - file.size());
    const auto renamed = static_cast<std::size_t>(rename - calls.begin());
    EXPECT_LT(at("fsync " + copy), renamed);
    EXPECT_LT(at("fsync " + tarnwick, renamed), calls.size());
}

// For n = 1, 2, 3 ...: fail the nth system call of a registration. A registration that fails leaves the
// old file, one that succeeds the new one; never a partial file, never a temporary one (unless removing it
// is what failed). The sweep ends when the registration runs to its end without reaching the nth call.
TEST_F(RegistryFile, AFailureAtAnyCallLeavesTheOldOrTheNewRegistry) {
    const std::string file = dir / "registry";
    for (const bool existing : {true, false}) {
        for (const int errno_value : {EIO, ENOSPC}) {
            std::set<call> failed_kinds;
            for (int n = 1;; ++n) {
                std::remove(file.c_str());
                if (existing) reg::add(file, first);
                const std::string before = existing ? test::read_file(file) : "";
                bool threw = false, fired = false;
                call failed = call::any;
                std::string why;
                {
                    test::fault_injector faults;
                    faults.fail(call::any, n, errno_value);
                    try {
                        reg::add(file, second);
                    } catch (const reg::error& e) {
                        threw = true;
                        why = e.what();
                    }
                    fired = faults.fired();
                    failed = faults.failed_call();
                }
                SCOPED_TRACE("failing call " + std::to_string(n) + " errno " + std::to_string(errno_value) +
                             (existing ? " of a change" : " of a new registry") + ": " + why);
                if (threw) {
                    EXPECT_TRUE(fired);
                    if (existing) {
                        EXPECT_EQ(test::read_file(file), before);
                    } else {
                        EXPECT_FALSE(test::exists(file));
                    }
                } else {
                    const auto entries = reg::load(file);
                    ASSERT_EQ(entries.size(), existing ? 2u : 1u);
                    EXPECT_EQ(entries.back().prog_id, "second.ini");
                }
                EXPECT_TRUE(!test::exists(file + ".twtemp") || (threw && failed == call::unlink));
                std::remove((file + ".twtemp").c_str());
                if (!fired) break;
                if (threw) failed_kinds.insert(failed);
            }
            // Every kind of call a registration makes was failed on the way, so all of them go through
            // the platform's table.
            for (const call kind : {call::lstat, call::open, call::flock, call::fstat, call::stat,
                                    call::write, call::fsync, call::rename}) {
                EXPECT_TRUE(failed_kinds.count(kind)) << "no failure of call kind " << static_cast<int>(kind);
            }
            for (const call kind :
                 existing ? std::vector{call::read, call::fchmod, call::xattr} : std::vector{call::mkdir}) {
                EXPECT_TRUE(failed_kinds.count(kind)) << "no failure of call kind " << static_cast<int>(kind);
            }
        }
    }
}

TEST_F(RegistryFile, ShortTransfersAndInterruptionsStillGiveTheWholeFile) {
    const std::string file = registry_with_first();
    test::fault_injector faults;
    faults.short_counts(1);
    faults.interrupt_every_transfer();
    reg::add(file, second);
    const auto entries = reg::load(file);
    EXPECT_GT(faults.count(call::write), 100);  // one byte at a time, really
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "/lib/first.so");
    EXPECT_EQ(entries[1].path, "/lib/second.so");
    EXPECT_EQ(entries[1].misc_status, 0x20591u);
    EXPECT_TRUE(reg::remove(file, first.class_id));
    EXPECT_EQ(reg::load(file).size(), 1u);
}

}  // namespace
