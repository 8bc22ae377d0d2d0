// Another process acting at every moment of a change. Each change (every editing operation of the writer,
// a batch, a twini call of several operations, a registration) runs once for every k with something done
// just before its k-th system call, as another user or program could: a directory of the path renamed away
// and replaced by a link to another directory, the bound link re-pointed, the file's mode, owner or
// attributes changed, a hard link added, a temporary name planted, the file appended to. Afterwards:
// every file holds its own content, edited or not, never another's; no other file changed; what the other
// process did to the file's metadata stands; a file is never split from its hard link; no copy is left.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "apply.hpp"
#include "fault.hpp"
#include "fixture.hpp"
#include "tarnwick/components/registry.hpp"
#include "tarnwick/files/utf8.hpp"

namespace {

using namespace test;
namespace reg = platform::registry;

constexpr std::string_view content_a = "[S]\r\nk=A\r\nwho=A\r\n";
constexpr std::string_view content_b = "[S]\r\nk=B\r\nwho=B\r\n";

// A change of the file at path; what it throws is its business.
using change = std::function<void(const std::string& path)>;

struct named_change {
    const char* name;
    change run;
    bool registry = false;  // the file is a registry
};

reg::entry entry_named(const std::string& prog_id, std::uint32_t number) {
    reg::entry e;
    e.class_id = {number, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    e.prog_id = prog_id;
    e.path = "/usr/lib/" + prog_id + ".so";
    e.threading_model = "Apartment";
    e.type_library_name = prog_id;
    e.type_library_version = "1.0";
    return e;
}

std::vector<named_change> changes() {
    auto writer = [](const char* name, std::function<void(penmoor::ini&)> op) {
        return named_change{name, [op](const std::string& path) {
                                penmoor::ini w;
                                w.File(u16(path));
                                op(w);
                            }};
    };
    return {
        writer("updateSetting", [](penmoor::ini& w) { w.updateSetting(u"S", u"k", u"X"); }),
        writer("addSetting", [](penmoor::ini& w) { w.addSetting(u"S", u"n", u"1"); }),
        writer("deleteSetting", [](penmoor::ini& w) { w.deleteSetting(u"S", u"k"); }),
        writer("deleteHeader", [](penmoor::ini& w) { w.deleteHeader(u"S"); }),
        writer("addHeader", [](penmoor::ini& w) { w.addHeader(u"N"); }),
        writer("batch",
               [](penmoor::ini& w) {
                   penmoor::batch edits(w);
                   w.updateSetting(u"S", u"k", u"X");
                   w.addSetting(u"S", u"n", u"1");
                   edits.commit();
               }),
        {"twini",
         [](const std::string& path) {
             twini::command c;
             c.file = path;
             c.operations = {{twini::verb::set, "S", "k", "X"}, {twini::verb::set, "T", "n", "1"}};
             twini::run(c);
         }},
        {"registration", [](const std::string& path) { reg::add(path, entry_named("second", 2)); }, true},
    };
}

// What the change makes of content, done on a file of its own with nobody else about.
std::string changed(const named_change& c, std::string_view content) {
    temp_dir scratch;
    const std::string path = scratch / "f";
    write_file(path, content);
    c.run(path);
    return read_file(path);
}

class Interleaving : public ::testing::Test {
  public:
    // Lays out d/cfg/app.ini (content a), d/other/app.ini (content b), d/link.ini -> cfg/app.ini.
    void lay_out(const named_change& c) {
        ASSERT_EQ(::mkdir((dir / "cfg").c_str(), 0700), 0);
        ASSERT_EQ(::mkdir((dir / "other").c_str(), 0700), 0);
        if (c.registry) {
            reg::add(dir / "cfg/app.ini", entry_named("a", 10));
            reg::add(dir / "other/app.ini", entry_named("b", 11));
        } else {
            write_file(dir / "cfg/app.ini", content_a);
            write_file(dir / "other/app.ini", content_b);
        }
        ASSERT_EQ(::symlink("cfg/app.ini", (dir / "link.ini").c_str()), 0);
        a = read_file(dir / "cfg/app.ini");
        b = read_file(dir / "other/app.ini");
    }
    void clear() {
        for (const char* name : {"cfg.old", "cfg", "other"}) {
            std::error_code ignored;
            std::filesystem::remove_all(dir / name, ignored);
        }
        std::remove((dir / "link.ini").c_str());
        std::remove((dir / "link.new").c_str());
    }
    // Whatever is left beside the files that is not theirs: a copy, a scratch file.
    std::vector<std::string> leftovers(const std::string& directory) {
        std::vector<std::string> found;
        std::error_code ignored;
        for (const auto& e : std::filesystem::directory_iterator(directory, ignored)) {
            const std::string name = e.path().filename();
            if (name != "app.ini" && name != "hard.ini" && name != "app.ini.lock") {
                found.push_back(name);
            }
        }
        return found;
    }

    temp_dir dir;
    std::string a, b;
};

// Runs c once for every k, with act done just before the k-th system call; check() after each run.
void sweep(Interleaving& t, const named_change& c, const std::string& bound_path,
           const std::function<void()>& act, const std::function<void(int k)>& check) {
    for (int k = 1;; ++k) {
        t.clear();
        t.lay_out(c);
        bool acted = false;
        {
            fault_injector faults;
            faults.before(call::any, k, [&] {
                acted = true;
                act();
            });
            try {
                c.run(bound_path);
            } catch (const std::exception&) {
                // A refusal is an outcome like any other; what it left behind is checked.
            }
        }
        if (!acted) break;
        SCOPED_TRACE(std::string(c.name) + ", acting before call " + std::to_string(k));
        check(k);
        if (::testing::Test::HasFailure()) return;
    }
}

// A directory of the path is renamed away and a link to another directory put in its place: the change
// lands in the file it locked (now in cfg.old), or in the other directory's file had it resolved the path
// after the swap, never the one's content in the other.
TEST_F(Interleaving, ADirectorySwappedForALinkNeverMixesTwoFiles) {
    for (const named_change& c : changes()) {
        const std::string edited_a = c.registry ? "" : changed(c, content_a);
        const std::string edited_b = c.registry ? "" : changed(c, content_b);
        sweep(
            *this, c, dir / "cfg/app.ini",
            [&] {
                ASSERT_EQ(::rename((dir / "cfg").c_str(), (dir / "cfg.old").c_str()), 0);
                ASSERT_EQ(::symlink("other", (dir / "cfg").c_str()), 0);
            },
            [&](int) {
                const std::string now_a = read_file(dir / "cfg.old/app.ini"),
                                  now_b = read_file(dir / "other/app.ini");
                if (c.registry) {
                    // Each registry holds its own entry, and at most one of them the new one as well.
                    const auto in_a = reg::load(dir / "cfg.old/app.ini"),
                               in_b = reg::load(dir / "other/app.ini");
                    EXPECT_EQ(in_a.front().prog_id, "a");
                    EXPECT_EQ(in_b.front().prog_id, "b");
                    EXPECT_LE(in_a.size() + in_b.size(), 3u);
                } else {
                    EXPECT_TRUE(now_a == a || now_a == edited_a) << now_a;
                    EXPECT_TRUE(now_b == b || now_b == edited_b) << now_b;
                    EXPECT_TRUE(now_a == a || now_b == b);
                }
                EXPECT_THAT(leftovers(dir / "cfg.old"), IsEmpty());
                EXPECT_THAT(leftovers(dir / "other"), IsEmpty());
            });
    }
}

// The bound link is re-pointed from one file to the other.
TEST_F(Interleaving, ALinkRepointedAtAnyMomentNeverMixesTwoFiles) {
    for (const named_change& c : changes()) {
        if (c.registry) continue;  // a registry reached through a link: the registry's own tests
        const std::string edited_a = changed(c, content_a), edited_b = changed(c, content_b);
        sweep(
            *this, c, dir / "link.ini",
            [&] {
                ASSERT_EQ(::symlink("other/app.ini", (dir / "link.new").c_str()), 0);
                ASSERT_EQ(::rename((dir / "link.new").c_str(), (dir / "link.ini").c_str()), 0);
            },
            [&](int) {
                const std::string now_a = read_file(dir / "cfg/app.ini"),
                                  now_b = read_file(dir / "other/app.ini");
                EXPECT_TRUE(now_a == a || now_a == edited_a) << now_a;
                EXPECT_TRUE(now_b == b || now_b == edited_b) << now_b;
                EXPECT_TRUE(now_a == a || now_b == b);
                EXPECT_THAT(leftovers(dir / "cfg"), IsEmpty());
                EXPECT_THAT(leftovers(dir / "other"), IsEmpty());
            });
    }
}

// What another process does to the file's metadata while a change runs stands afterwards, whenever it
// happens: a change never undoes it.
TEST_F(Interleaving, ModeOwnerAndAttributesChangedMeanwhileStand) {
    const std::string path = dir / "cfg/app.ini";
    const bool root = can_act_as_others();
    for (const named_change& c : changes()) {
        const std::string edited = c.registry ? "" : changed(c, content_a);
        sweep(
            *this, c, path,
            [&] {
                ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
                if (root) {
                    ASSERT_EQ(::chown(path.c_str(), 0, 1234), 0);
                }
                ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "mine", 4, 0), 0);
            },
            [&](int) {
                struct stat st {};
                ASSERT_EQ(::stat(path.c_str(), &st), 0);
                EXPECT_EQ(st.st_mode & 07777, 0640u);
                if (root) {
                    EXPECT_EQ(st.st_gid, 1234u);
                }
                char value[16] = {};
                EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
                EXPECT_STREQ(value, "mine");
                if (!c.registry) {
                    EXPECT_TRUE(read_file(path) == a || read_file(path) == edited);
                }
                EXPECT_THAT(leftovers(dir / "cfg"), IsEmpty());
            });
    }
}

// A hard link made meanwhile: the change is refused, or made before the link; the two names never part.
TEST_F(Interleaving, AHardLinkMadeMeanwhileIsNeverSplit) {
    const std::string path = dir / "cfg/app.ini", hard = dir / "cfg/hard.ini";
    for (const named_change& c : changes()) {
        sweep(
            *this, c, path, [&] { ASSERT_EQ(::link(path.c_str(), hard.c_str()), 0); },
            [&](int) {
                EXPECT_EQ(read_file(hard), read_file(path));
                EXPECT_THAT(leftovers(dir / "cfg"), IsEmpty());
            });
    }
}

// Another process appends to the file without taking its lock: the file holds the change of what was
// read, with or without the appended line, never anything else.
TEST_F(Interleaving, AnAppendMeanwhileGivesOneOfTheTwoOrders) {
    const std::string path = dir / "cfg/app.ini";
    const std::string line = "late=1\r\n";
    for (const named_change& c : changes()) {
        if (c.registry) continue;
        const std::string edited = changed(c, content_a),
                          edited_later = changed(c, std::string(content_a) + line);
        const std::vector<std::string> allowed = {std::string(content_a), std::string(content_a) + line,
                                                  edited, edited + line, edited_later};
        sweep(
            *this, c, path,
            [&] {
                const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
                ::close(fd);
            },
            [&](int) { EXPECT_THAT(allowed, ::testing::Contains(read_file(path))); });
    }
}

// Every change flushes its copy before the rename that puts it in the file's place, and the directory
// after it: a power loss finds the old file or the new one, never an empty or partial one.
TEST_F(Interleaving, CopiesAreFlushedBeforeTheRenameAndTheDirectoryAfter) {
    for (const named_change& c : changes()) {
        clear();
        lay_out(c);
        fault_injector faults;
        faults.record();
        c.run(dir / "cfg/app.ini");
        const std::vector<std::string> calls = faults.recorded();
        SCOPED_TRACE(c.name);
        const std::string directory = std::filesystem::canonical(dir / "cfg");
        const std::string target = directory + "/app.ini";
        auto find = [&](std::size_t from, auto&& wanted) {
            for (std::size_t i = from; i < calls.size(); ++i) {
                if (wanted(calls[i])) return i;
            }
            return calls.size();
        };
        const std::size_t rename = find(0, [&](const std::string& line) {
            return line.starts_with("renameat ") && line.ends_with(" " + target);
        });
        ASSERT_LT(rename, calls.size()) << ::testing::PrintToString(calls);
        const std::string copy = calls[rename].substr(9, calls[rename].size() - 10 - target.size());
        EXPECT_LT(find(0, [&](const std::string& line) { return line == "fsync " + copy; }), rename)
            << ::testing::PrintToString(calls);
        EXPECT_LT(find(rename, [&](const std::string& line) { return line == "fsync " + directory; }),
                  calls.size())
            << ::testing::PrintToString(calls);
    }
}

}  // namespace
