// penmoor::settings: the user's file over the system's over the application's defaults, as the XDG
// variables place them; changes go to the user's file alone, made with its directories on the first.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "penmoor/settings.hpp"
#include "temp_dir.hpp"

namespace {

// Sets an environment variable for the test's lifetime.
class environment {
  public:
    environment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~environment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// The layers in lookup order; the first directory of XDG_CONFIG_DIRS wins; a relative one is passed
// over. A first run finds no user's file: the first change makes it, with directories of mode 0700;
// erasing the user's key lets the value below show again.
TEST(Settings, LayersUserOverSystemOverDefaults) {
    test::temp_dir dir;
    environment home("XDG_CONFIG_HOME", dir / "home");
    environment dirs("XDG_CONFIG_DIRS", "relative:" + (dir / "sys1") + ":" + (dir / "sys2"));
    ::mkdir((dir / "sys1").c_str(), 0755);
    ::mkdir((dir / "sys1/app").c_str(), 0755);
    ::mkdir((dir / "sys2").c_str(), 0755);
    ::mkdir((dir / "sys2/app").c_str(), 0755);
    test::write_file(dir / "sys1/app/app.ini", "[Window]\nWidth=1024\n[Theme]\nName=dark\n");
    test::write_file(dir / "sys2/app/app.ini", "[Window]\nWidth=1\nHeight=2\n");
    test::write_file(dir / "defaults.ini", "[Window]\nHeight=480\nTitle=x\n[Files]\nRecent=a;b\n");

    penmoor::settings_options options;
    options.defaults = dir / "defaults.ini";
    penmoor::settings config("app", "app.ini", options);
    EXPECT_EQ(config.files(), (std::vector<std::string>{dir / "home/app/app.ini", dir / "sys1/app/app.ini",
                                                        dir / "sys2/app/app.ini", dir / "defaults.ini"}));
    EXPECT_EQ(config.get_or("Window", "Width", 0), 1024);
    EXPECT_EQ(config.get_or("Window", "Height", 0), 2);
    EXPECT_EQ(config.get_or("Window", "Title", ""), "x");
    EXPECT_EQ(config.get_list("Files", "Recent"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(config.source_of("Window", "Height"), dir / "sys2/app/app.ini");
    EXPECT_EQ(config.sections(), (std::vector<std::string>{"Window", "Files", "Theme"}));
    EXPECT_EQ(config.keys("Window"), (std::vector<std::string>{"Height", "Title", "Width"}));
    EXPECT_FALSE(test::exists(dir / "home"));
    EXPECT_FALSE(config.erase("Window", "Width"));
    EXPECT_FALSE(test::exists(dir / "home"));

    const mode_t mask = ::umask(022);
    config.set("Window", "Width", 800);
    ::umask(mask);
    struct stat st;
    ASSERT_EQ(::stat((dir / "home/app").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    config.set("Window", "Title", "Zoë's");
    config.set("Window", "Full", true);
    EXPECT_EQ(test::read_file(dir / "home/app/app.ini"), "[Window]\nWidth=800\nTitle=Zoë's\nFull=true\n");
    EXPECT_EQ(test::read_file(dir / "sys1/app/app.ini"), "[Window]\nWidth=1024\n[Theme]\nName=dark\n");
    EXPECT_EQ(config.get_or("Window", "Width", 0), 800);
    EXPECT_TRUE(config.get_or("Window", "Full", false));
    EXPECT_EQ(config.keys("Window"), (std::vector<std::string>{"Height", "Title", "Width", "Full"}));
    EXPECT_TRUE(config.erase("Window", "Width"));
    EXPECT_EQ(config.get_or("Window", "Width", 0), 1024);
    EXPECT_TRUE(config.erase("Window"));
    EXPECT_EQ(config.get_or("Window", "Title", ""), "x");
    EXPECT_TRUE(config.problems().empty());

    // Another program's change is seen, and read by reload().
    EXPECT_FALSE(config.changed());
    test::write_file(dir / "sys2/app/app.ini", "[Window]\nHeight=3\nDepth=4\n");
    EXPECT_TRUE(config.changed());
    config.reload();
    EXPECT_FALSE(config.changed());
    EXPECT_EQ(config.get_or("Window", "Height", 0), 3);
}

// A system's file that cannot be read, or holds malformed lines, never stops the application: it is
// passed over and listed in problems(), unless malformed lines are to be refused. Names that are no file
// names are refused.
TEST(Settings, ProblemsOfTheSystemsFilesAreListed) {
    test::temp_dir dir;
    environment home("XDG_CONFIG_HOME", dir / "home");
    environment dirs("XDG_CONFIG_DIRS", (dir / "sys1") + ":" + (dir / "sys2"));
    ::mkdir((dir / "sys1").c_str(), 0755);
    ::mkdir((dir / "sys1/app").c_str(), 0755);
    ::mkdir((dir / "sys1/app/app.ini").c_str(), 0755);  // no regular file
    ::mkdir((dir / "sys2").c_str(), 0755);
    ::mkdir((dir / "sys2/app").c_str(), 0755);
    test::write_file(dir / "sys2/app/app.ini", "[Window\nWidth=5\n[Ok]\nk=v\n");

    const penmoor::settings config("app", "app.ini");
    EXPECT_EQ(config.get_or("Ok", "k", ""), "v");
    const std::vector<penmoor::ini_problem> problems = config.problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].path, dir / "sys1/app/app.ini");
    EXPECT_EQ(problems[0].line, 0u);
    EXPECT_NE(problems[0].why.find("not a regular file"), std::string::npos) << problems[0].why;
    EXPECT_EQ(problems[1].path, dir / "sys2/app/app.ini");
    EXPECT_EQ(problems[1].line, 1u);

    penmoor::settings_options refuse;
    refuse.malformed = penmoor::malformed_lines::refused;
    EXPECT_THROW(penmoor::settings("app", "app.ini", refuse), penmoor::error);
    for (const std::string name : {"", ".", "..", "a/b"}) {
        EXPECT_THROW(penmoor::settings(name, "app.ini"), penmoor::error) << name;
        EXPECT_THROW(penmoor::settings("app", name), penmoor::error) << name;
    }
    environment relative("XDG_CONFIG_HOME", "relative");
    environment user("HOME", dir / "me");
    EXPECT_EQ(penmoor::settings("app", "app.ini").user_file(), dir / "me/.config/app/app.ini");
}

}  // namespace
