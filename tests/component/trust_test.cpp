// Which libraries the host loads: only those nobody but the user or root could have put where they are,
// and then the very file it checked.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fault.hpp"
#include "plugin.hpp"
#include "tarnwick/components/registry.hpp"
#include "temp_dir.hpp"

namespace {

const std::string because = ", who could replace the library with their code";

// What loading the library at path ends with: empty when it loads.
std::string refusal(const std::string& path) {
    try {
        twhost::library lib(path);
    } catch (const twhost::host_error& e) {
        return e.what();
    }
    return {};
}

std::string real(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

void copy_library(const std::string& from, const std::string& to) {
    test::write_file(to, test::read_file(from));
    ASSERT_EQ(::chmod(to.c_str(), 0755), 0);
}

class TrustedLibraries : public ::testing::Test {
  protected:
    TrustedLibraries() : saved_umask_(::umask(022)), base(real(dir.path())) {}
    ~TrustedLibraries() override { ::umask(saved_umask_); }

    mode_t saved_umask_;
    test::temp_dir dir;
    const std::string base;  // dir, as the walk names it
};

TEST_F(TrustedLibraries, OnlyTheUserOrRootOwnsAndMayWriteTheFileAndEveryDirectoryOnTheWay) {
    const std::string lib = base + "/lib", file = lib + "/libpenmoor.so.1.0.0",
                      link = lib + "/libpenmoor.so.1";
    ASSERT_EQ(::mkdir(lib.c_str(), 0755), 0);
    copy_library(test::writer_path, file);
    ASSERT_EQ(::symlink("libpenmoor.so.1.0.0", link.c_str()), 0);
    EXPECT_EQ(refusal(link), "");

    ASSERT_EQ(::chmod(lib.c_str(), 0777), 0);
    EXPECT_EQ(refusal(link), "refusing the library '" + link + "': the directory '" + lib +
                                 "' is writable by others (mode 0777)" + because);
    ASSERT_EQ(::chmod(lib.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0775), 0);
    EXPECT_EQ(refusal(link), "refusing the library '" + link + "': the file '" + file +
                                 "' is writable by its group (mode 0775)" + because);
    ASSERT_EQ(::chmod(file.c_str(), 0755), 0);

    // Whoever may write the directory holding a link may re-point it.
    const std::string open = base + "/open", relinked = open + "/libpenmoor.so.1";
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    ASSERT_EQ(::symlink(file.c_str(), relinked.c_str()), 0);
    EXPECT_EQ(refusal(relinked), "");
    ASSERT_EQ(::chmod(open.c_str(), 0770), 0);
    EXPECT_EQ(refusal(relinked), "refusing the library '" + relinked + "': the directory '" + open +
                                     "' is writable by its group (mode 0770)" + because);
    EXPECT_EQ(refusal(base + "/missing.so"),
              "cannot load '" + base + "/missing.so': No such file or directory");

    if (::geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
    const uid_t stranger = 4242;
    ASSERT_EQ(::chown(file.c_str(), stranger, stranger), 0);
    EXPECT_EQ(refusal(file), "refusing the library '" + file + "': the file '" + file +
                                 "' belongs to user 4242, not to you (user 0) nor to root" + because);
    ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);

    // In a directory with the sticky bit only an entry's owner may replace it: the directory may be
    // anyone's to write, the entries below it must be the user's or root's.
    const std::string sticky = base + "/sticky", mine = sticky + "/mine", inside = mine + "/libpenmoor.so";
    ASSERT_EQ(::mkdir(sticky.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    ASSERT_EQ(::mkdir(mine.c_str(), 0755), 0);
    copy_library(test::writer_path, inside);
    EXPECT_EQ(refusal(inside), "");
    ASSERT_EQ(::chown(mine.c_str(), stranger, stranger), 0);
    EXPECT_EQ(refusal(inside), "refusing the library '" + inside + "': the directory '" + mine +
                                   "' belongs to user 4242, not to you (user 0) nor to root" + because);
    ASSERT_EQ(::chmod(sticky.c_str(), 0777), 0);  // without the bit, anyone may replace anything there
    ASSERT_EQ(::chown(mine.c_str(), 0, 0), 0);
    EXPECT_EQ(refusal(inside), "refusing the library '" + inside + "': the directory '" + sticky +
                                   "' is writable by others (mode 0777)" + because);
}

// A library replaced after it was opened and checked is not the one loaded: the descriptor is.
TEST_F(TrustedLibraries, TheFileCheckedIsTheFileLoaded) {
    const std::string path = base + "/libcontrol.so";
    copy_library(test::writer_path, path);
    int checks = 0;
    {
        test::fault_injector faults;
        twhost::library lib(path);
        checks = faults.count(test::call::fstat);  // the last is the library's own
    }
    ASSERT_GT(checks, 0);
    bool replaced = false;
    {
        test::fault_injector faults;
        faults.before(test::call::fstat, checks, [&] {
            copy_library(test::reader_path, base + "/new.so");
            replaced = ::rename((base + "/new.so").c_str(), path.c_str()) == 0;
        });
        twhost::library lib(path);
        EXPECT_TRUE(replaced);
        EXPECT_STREQ(lib.class_info().prog_id, "quillset.ini");
    }
    // The loader still knows the writer by the name it was loaded by: the reader gets another.
    twhost::library now(path);
    EXPECT_STREQ(now.class_info().prog_id, "tw_ini.ini");

    // A library loaded again and again, and kept by the loader, holds no descriptor.
    const int descriptors = test::open_descriptors();
    for (int i = 0; i < 3; ++i) twhost::library(path).class_info();
    EXPECT_EQ(test::open_descriptors(), descriptors);
}

// A library loaded from a descriptor registers the path of its file (the soname link beside it), even
// once the descriptor is closed and its number names another file.
TEST_F(TrustedLibraries, ALibraryLoadedFromADescriptorRegistersItsOwnPath) {
    const std::string file = base + "/libpenmoor.so.1.0.0", link = base + "/libpenmoor.so.1";
    copy_library(test::writer_path, file);
    ASSERT_EQ(::symlink("libpenmoor.so.1.0.0", link.c_str()), 0);
    const std::string registry = base + "/registry";
    ::setenv("TARNWICK_REGISTRY", registry.c_str(), 1);

    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void* handle = ::dlopen(("/proc/self/fd/" + std::to_string(fd)).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    ::close(fd);
    const int other = ::open(test::reader_path, O_RDONLY | O_CLOEXEC);  // takes the number over
    auto register_server = reinterpret_cast<twc_register_fn>(::dlsym(handle, "DllRegisterServer"));
    ASSERT_NE(register_server, nullptr);
    EXPECT_EQ(register_server(), TWC_OK);
    ::close(other);
    ::dlclose(handle);
    ::unsetenv("TARNWICK_REGISTRY");

    const auto entries = platform::registry::load(registry);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, link);
}

}  // namespace
