// Registration into a scratch registry and back out, and the registry file itself.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>

#include <cstdio>

#include "plugin.hpp"
#include "run.hpp"
#include "tarnwick/components/registry.hpp"
#include "temp_dir.hpp"

namespace {

namespace reg = platform::registry;

// Points the platform's registry at a file of the test's own for the test's duration.
class scratch_registry {
  public:
    explicit scratch_registry(const std::string& file) {
        if (const char* old = std::getenv("TARNWICK_REGISTRY")) saved_ = old;
        ::setenv("TARNWICK_REGISTRY", file.c_str(), 1);
    }
    ~scratch_registry() {
        if (saved_.empty()) {
            ::unsetenv("TARNWICK_REGISTRY");
        } else {
            ::setenv("TARNWICK_REGISTRY", saved_.c_str(), 1);
        }
    }

  private:
    std::string saved_;
};

std::string real(const char* path) {
    char resolved[PATH_MAX];
    return ::realpath(path, resolved) != nullptr ? resolved : path;
}

std::string beside(const std::string& file, const char* name) {
    return file.substr(0, file.rfind('/') + 1) + name;
}

TEST(Registration, BothClassesGoInWithTheirFieldsAndComeOutOneByOne) {
    test::temp_dir dir;
    const std::string file = dir / "config/tarnwick/registry";  // the directories are made as needed
    scratch_registry use(file);
    twhost::library writer(test::writer_path), reader(test::reader_path);
    ASSERT_EQ(writer.register_server(), TWC_OK);
    ASSERT_EQ(reader.register_server(), TWC_OK);
    ASSERT_EQ(writer.register_server(), TWC_OK);  // again: replaces, never duplicates

    auto entries = reg::load(file);
    ASSERT_EQ(entries.size(), 2u);
    const auto w = reg::find(entries, "QUILLSET.INI");
    ASSERT_TRUE(w.has_value());
    EXPECT_TRUE(twc_guid_equal(&w->class_id, &writer.class_info().type_info->class_id));
    // Named by the soname link beside the library, which leads to it and survives a compatible upgrade.
    EXPECT_EQ(w->path, beside(real(test::writer_path), "libpenmoor.so.1"));
    EXPECT_EQ(real(w->path.c_str()), real(test::writer_path));
    EXPECT_EQ(w->threading_model, "Apartment");
    EXPECT_EQ(w->misc_status, 0x20591u);
    EXPECT_EQ(w->toolbox_bitmap, 30000u);
    EXPECT_TRUE(twc_guid_equal(&w->type_library, &writer.class_info().type_info->library_id));
    EXPECT_EQ(w->type_library_name, "quillset");
    EXPECT_EQ(w->type_library_version, "15.0");
    EXPECT_EQ(w->help_string, "Tarnwick ini writer");
    const auto r = reg::find(entries, "tw_ini.ini");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->path, beside(real(test::reader_path), "libtw_ini.so.1"));
    EXPECT_EQ(r->type_library_version, "5.0");
    EXPECT_EQ(r->help_string, "tw_ini");

    ASSERT_EQ(writer.unregister_server(), TWC_OK);
    entries = reg::load(file);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].prog_id, "tw_ini.ini");
    EXPECT_EQ(writer.unregister_server(), TWC_OK);  // not registered: still fine
    ASSERT_EQ(reader.unregister_server(), TWC_OK);
    EXPECT_TRUE(reg::load(file).empty());
}

TEST(Registration, AnUnwritableRegistryIsReportedNotIgnored) {
    test::temp_dir dir;
    test::write_file(dir / "file", "");
    scratch_registry use(dir / "file/registry");  // a directory that is a file
    twhost::library writer(test::writer_path);
    EXPECT_EQ(writer.register_server(), TWC_E_REGISTRY);
    EXPECT_EQ(writer.registration_error(),
              "Path not found: cannot examine '" + dir / "file/registry" + "' (Not a directory)");
}

// The library's own copy of the platform layer keeps why its last registration failed, per thread, and
// hands it out through DllGetClassObject: the C interface's statuses stay as they were.
TEST(Registration, TheLibraryTellsWhyItsLastRegistrationFailed) {
    test::temp_dir dir;
    const std::string file = dir / "registry";
    scratch_registry use(file);
    twhost::library writer(test::writer_path), reader(test::reader_path);
    ASSERT_EQ(reader.unregister_server(), TWC_OK);
    EXPECT_EQ(reader.registration_error(), "");

    test::write_file(file, "[{not-a-guid}]\n");
    const std::string why = "malformed registry '" + file + "': line 1: not a class id";
    EXPECT_EQ(writer.register_server(), TWC_E_REGISTRY);
    EXPECT_EQ(writer.registration_error(), why);
    EXPECT_EQ(reader.registration_error(), "");  // each library its own
    EXPECT_EQ(writer.unregister_server(), TWC_E_REGISTRY);
    EXPECT_EQ(writer.registration_error(), why);
    test::on_new_thread([&] { EXPECT_EQ(writer.registration_error(), ""); });  // each thread its own

    std::remove(file.c_str());
    EXPECT_EQ(writer.register_server(), TWC_OK);
    EXPECT_EQ(writer.registration_error(), "");  // a success clears it
}

TEST(Registry, LocationFollowsTheOverrideThenTheUsersConfigDirectory) {
    scratch_registry use("/tmp/somewhere/registry");
    EXPECT_EQ(reg::location(), "/tmp/somewhere/registry");
    ::setenv("TARNWICK_REGISTRY", "", 1);
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = xdg != nullptr ? xdg : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(reg::location(), "/cfg/tarnwick/registry");
    ::unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    EXPECT_EQ(reg::location(), std::string(home != nullptr ? home : "") + "/.config/tarnwick/registry");
    if (xdg != nullptr) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(Registry, MalformedFilesAndLineBreaksAreErrorsThatChangeNothing) {
    test::temp_dir dir;
    test::write_file(dir / "bad", "[{not-a-guid}]\nProgID=x\n");
    EXPECT_THROW(reg::load(dir / "bad"), reg::error);
    test::write_file(dir / "orphan", "ProgID=x\n");
    EXPECT_THROW(reg::load(dir / "orphan"), reg::error);

    reg::entry e;
    e.class_id = *reg::parse_guid("{06CE024A-1FA9-4B47-BD76-069167EB292A}");
    e.prog_id = "a.b";
    e.path = "/x.so";
    reg::add(dir / "good", e);
    const std::string before = test::read_file(dir / "good");
    e.path = "/x.so\n[{00000000-0000-0000-0000-000000000000}]";
    EXPECT_THROW(reg::add(dir / "good", e), reg::error);
    EXPECT_EQ(test::read_file(dir / "good"), before);
    ASSERT_EQ(reg::load(dir / "good").size(), 1u);
}

TEST(Registry, GuidsRoundTripAndBadTextIsRejected) {
    const auto id = reg::parse_guid("{1586dede-9569-4721-8175-178f054c778e}");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(reg::format_guid(*id), "{1586DEDE-9569-4721-8175-178F054C778E}");
    EXPECT_FALSE(reg::parse_guid("{1586dede-9569-4721-8175-178f054c778}"));
    EXPECT_FALSE(reg::parse_guid("{1586dede+9569-4721-8175-178f054c778e}"));
    EXPECT_FALSE(reg::parse_guid("{1586dedg-9569-4721-8175-178f054c778e}"));
}

}  // namespace
