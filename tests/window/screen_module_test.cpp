// The real on-screen backend when its module cannot be loaded: headless where no display is asked for,
// a clear error where a window must go on screen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/windows/window.hpp"
#include "tarnwick/windows/window_screen.hpp"
#include "temp_dir.hpp"

namespace {

using ::testing::HasSubstr;

// DISPLAY and the module's path as they were, put back afterwards.
class MissingScreenModule : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* display = std::getenv("DISPLAY")) display_ = display;
        if (!platform::screen::use_module(missing))
            GTEST_SKIP() << "the module is loaded in this process already";
        platform::use_window_backend(platform::window_backend::automatic);
    }
    ~MissingScreenModule() override {
        platform::screen::use_module({});
        if (display_) {
            ::setenv("DISPLAY", display_->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
    }

    test::temp_dir dir;
    const std::string missing = dir / "libtarnwick-fltk.so";
    std::optional<std::string> display_;
};

TEST_F(MissingScreenModule, WindowsAreHeadlessWithoutADisplayAndError48WithOne) {
    platform::window w(
        {"sample", u"Sample", 1500, 600, {{"ok", platform::control_kind::button, 0, 0, 900, 400}}});
    ::unsetenv("DISPLAY");
    w.show();
    EXPECT_TRUE(w.is_open());
    EXPECT_FALSE(w.on_screen());
    w.close();

    // No server need answer: the module is needed before the display is opened.
    ::setenv("DISPLAY", ":97", 1);
    try {
        w.show();
        ADD_FAILURE() << "a window went up without the on-screen module";
    } catch (const platform::runtime_error& e) {
        EXPECT_EQ(e.number(), platform::err::library_load);
        EXPECT_THAT(e.what(), HasSubstr("'" + missing + "'"));
        EXPECT_THAT(e.what(), HasSubstr("No such file or directory"));
    }
    EXPECT_FALSE(w.is_open());
    EXPECT_FALSE(platform::any_window_on_screen());
}

}  // namespace
