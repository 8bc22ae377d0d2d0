// Several operations in one call: one replacement of the file with one flush when all succeed, the
// file byte for byte as it was when any fails, and nothing else whatever system call fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "apply.hpp"
#include "fault.hpp"
#include "temp_dir.hpp"

namespace {

using twini::verb;

constexpr const char* before = "[S]\r\nk1=1\r\nk2=2\r\n[T]\r\nx=1\r\n";
constexpr const char* after = "[S]\r\nk1=one\r\n\r\n[U]\r\nnew=yes\r\n";

twini::command several(const std::string& file) {
    twini::command c;
    c.file = file;
    c.operations = {
        {verb::set, "S", "k1", "one"},  {verb::del, "S", "k2", {}},         {verb::get, "S", "k1", {}},
        {verb::set, "U", "new", "yes"}, {verb::del, "T", std::nullopt, {}},
    };
    return c;
}

TEST(Several, ReplaceTheFileOnceWithOneFlushOfItsData) {
    test::temp_dir dir;
    test::write_file(dir / "app.ini", before);
    test::fault_injector calls;
    const auto r = twini::run(several(dir / "app.ini"));
    EXPECT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.out.str(), "one\n");
    EXPECT_EQ(test::read_file(dir / "app.ini"), after);
    EXPECT_EQ(calls.count(test::call::rename), 1);
    EXPECT_EQ(calls.count(test::call::fsync), 2);  // the new content, then the directory
}

// A call that --create lets make a missing file makes it by the rename that puts its content in place,
// and only then: one that fails never made the file, so it has nothing to remove that another call
// could have come to use meanwhile.
TEST(Several, AFailingCallMakesNoFileEvenForAMoment) {
    test::temp_dir dir;
    twini::command c;
    c.file = dir / "new.ini";
    c.create = true;
    c.existing = true;
    c.operations = {{verb::set, "S", "k", "v"}};
    test::fault_injector calls;
    calls.record();
    EXPECT_EQ(twini::run(c).status, twini::not_found);
    // Looking the name up is fine; opening, renaming, linking or deleting it is not.
    const std::string name = std::filesystem::canonical(dir.path()).string() + "/new.ini";
    for (const std::string& call : calls.recorded()) {
        const bool looks = call.starts_with("stat ") || call.starts_with("lstat ") ||
                           call.starts_with("fstatat ") || call.starts_with("realpath ");
        EXPECT_TRUE(looks || !call.ends_with(name)) << call;
    }
    EXPECT_FALSE(test::exists(c.file));
}

TEST(Several, AFailingOperationAnywhereLeavesTheFileAsItWas) {
    const auto all = several("").operations;
    for (std::size_t at = 0; at <= all.size(); ++at) {
        SCOPED_TRACE("failing operation at " + std::to_string(at));
        test::temp_dir dir;
        test::write_file(dir / "app.ini", before);
        twini::command c = several(dir / "app.ini");
        c.operations.insert(c.operations.begin() + static_cast<std::ptrdiff_t>(at),
                            {verb::del, "S", "none", {}});
        test::fault_injector calls;
        const auto r = twini::run(c);
        EXPECT_EQ(r.status, twini::not_found);
        EXPECT_EQ(r.out.str(), "");  // not even what an earlier --get found
        EXPECT_EQ(r.message, c.file + ": key 'none' not found in section 'S'");
        EXPECT_EQ(test::read_file(dir / "app.ini"), before);
        EXPECT_EQ(calls.count(test::call::rename), 0);
        EXPECT_FALSE(test::exists(dir / "app.ini.twtemp"));
    }
}

// A deletion's checks see every line an earlier operation let through or made, as they see the file's:
// each batch is refused as the deletion alone would be refused after the first operation.
TEST(Several, AnEarlierOperationHidesNoLineFromALaterOnesChecks) {
    using platform::ini::dialect;
    struct batch {
        dialect rules;
        const char* file;
        twini::operation first;
    };
    const batch cases[] = {
        // After a set in the first part of a repeated S, deleting S would still join T's two parts.
        {dialect::exact, "[A]\n[S]\ny=1\n[T]\n[S]\n[T]\n", {verb::set, "S", "x", "v"}},
        {dialect::exact, "[A]\n[S]\ny=1\n[T]\n[S]\n[T]\n", {verb::set, "S", "y", "v"}},
        // The key made at the top takes the indented header after S as its value once S goes.
        {dialect::common, "[S]\n  [T]\nt=1\n", {verb::set, "", "k", "v"}},
    };
    for (const batch& b : cases) {
        SCOPED_TRACE(b.file);
        test::temp_dir dir;
        test::write_file(dir / "app.ini", b.file);
        twini::command c;
        c.file = dir / "app.ini";
        c.format.rules = b.rules;
        c.operations = {b.first, {verb::del, "S", std::nullopt, {}}};
        const auto r = twini::run(c);
        EXPECT_EQ(r.status, twini::failed) << r.message;
        EXPECT_EQ(test::read_file(dir / "app.ini"), b.file);
    }
}

// Fails the nth system call of the command, for n = 1, 2, ... until one runs without the failure: each
// run ends with the new file and success, or with the old one (or none, where --create was to make it)
// and a message naming the file.
void sweep(bool create, int errno_value) {
    for (int n = 1;; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        test::temp_dir dir;
        const std::string file = dir / "app.ini";
        if (!create) test::write_file(file, before);
        twini::command c = several(file);
        c.create = create;
        if (create) c.operations.erase(c.operations.begin() + 1, c.operations.end());
        bool fired = false;
        twini::result r;
        {
            test::fault_injector faults;
            faults.fail(test::call::any, n, errno_value);
            r = twini::run(c);
            fired = faults.fired();
        }
        if (r.status == 0) {
            EXPECT_EQ(test::read_file(file), create ? "[S]\nk1=one\n" : after);
        } else {
            EXPECT_EQ(r.status, twini::failed);
            EXPECT_EQ(r.message.rfind(file + ": ", 0), 0u) << r.message;
            if (create) {
                EXPECT_FALSE(test::exists(file));
            } else {
                EXPECT_EQ(test::read_file(file), before);
            }
        }
        if (!fired) break;
    }
}

TEST(Faults, EveryFailingCallLeavesTheOldFileOrTheNew) {
    sweep(false, EIO);
}
TEST(Faults, EveryFailingCallLeavesNoFileOrTheNewWhereCreateMakesIt) {
    sweep(true, ENOSPC);
}

}  // namespace
