#include "tarnwick/files/file.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "fault.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "temp_dir.hpp"

namespace {

template <class F>
int error_of(F&& f, std::string* message = nullptr) {
    try {
        f();
    } catch (const platform::runtime_error& e) {
        if (message) *message = e.what();
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(FileErrors, MissingFileAndMissingDirectoryAreTold) {
    test::temp_dir dir;
    EXPECT_EQ(error_of([&] { platform::open_read(dir / "none.ini"); }), 53);
    EXPECT_EQ(error_of([&] { platform::open_read(dir / "nodir/x.ini"); }), 76);
    EXPECT_EQ(error_of([&] { platform::create_exclusive(dir / "nodir/x.ini", 0644); }), 76);
    test::write_file(dir / "plain", "");
    EXPECT_EQ(error_of([&] { platform::open_read(dir / "plain/x.ini"); }), 76);  // ENOTDIR
}

TEST(FileErrors, ErrnoMapsToRunTimeErrorsWithTheSystemsText) {
    test::temp_dir dir;
    test::write_file(dir / "a", "text");
    const struct {
        int errno_value;
        int number;
    } cases[] = {{EACCES, 70}, {EPERM, 70}, {EROFS, 70},  {ENOSPC, 61},       {EDQUOT, 61},
                 {EFBIG, 61},  {EIO, 57},   {EMFILE, 67}, {ENAMETOOLONG, 52}, {EISDIR, 75}};
    for (const auto& c : cases) {
        test::fault_injector faults;
        faults.fail(test::call::open, 1, c.errno_value);
        std::string message;
        EXPECT_EQ(error_of([&] { platform::open_read(dir / "a"); }, &message), c.number) << c.errno_value;
        EXPECT_NE(message.find("cannot open '" + (dir / "a") + "' ("), std::string::npos) << message;
    }
    test::fault_injector faults;
    faults.fail(test::call::write, 1, ENOSPC);
    auto f = platform::create_exclusive(dir / "b", 0644);
    std::string message;
    EXPECT_EQ(error_of([&] { f->write_all("x", 1); }, &message), 61);
    EXPECT_EQ(message, "Disk full: cannot write '" + (dir / "b") + "' (No space left on device)");
}

TEST(FileLookup, OnlyRegularFilesFollowingLinksCount) {
    test::temp_dir dir;
    test::write_file(dir / ".hidden", "");
    test::write_file(dir / "*?", "");
    ASSERT_EQ(::symlink((dir / ".hidden").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(platform::is_regular_file(dir / ".hidden"));
    EXPECT_TRUE(platform::is_regular_file(dir / "*?"));
    EXPECT_TRUE(platform::is_regular_file(dir / "link"));
    EXPECT_FALSE(platform::is_regular_file(dir / "dangling"));
    EXPECT_FALSE(platform::is_regular_file(dir.path()));
    EXPECT_FALSE(platform::is_regular_file(""));
    EXPECT_FALSE(platform::is_regular_file(dir / "*"));
}

TEST(FileCreate, ExclusiveCreationNeverOpensWhatExists) {
    test::temp_dir dir;
    test::write_file(dir / "a", "keep");
    EXPECT_FALSE(platform::create_exclusive(dir / "a", 0644).has_value());
    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(platform::create_exclusive(dir / "link", 0644).has_value());
    EXPECT_FALSE(test::exists(dir / "target"));
    EXPECT_EQ(test::read_file(dir / "a"), "keep");
}

TEST(FileOpenIfRegular, OpensRegularFilesOnlyAndNeverWaitsOnAPipe) {
    test::temp_dir dir;
    test::write_file(dir / "a", "x");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(platform::open_if_regular(dir / "a").has_value());
    EXPECT_FALSE(platform::open_if_regular(dir / "pipe").has_value());  // would block without a writer
    EXPECT_FALSE(platform::open_if_regular(dir.path()).has_value());
    EXPECT_FALSE(platform::open_if_regular(dir / "dangling").has_value());
    EXPECT_FALSE(platform::open_if_regular(dir / "none/a").has_value());
    EXPECT_FALSE(platform::open_if_regular("").has_value());
    test::fault_injector faults;
    faults.fail(test::call::open, 1, EACCES);
    EXPECT_EQ(error_of([&] { platform::open_if_regular(dir / "a"); }), 70);
}
