// The window model and its contract with an on-screen backend, through a backend that records what the
// model asks of it and plays the user's part.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "run.hpp"
#include "tarnwick/windows/window.hpp"
#include "tarnwick/windows/window_screen.hpp"

namespace {

using platform::control_kind;

class fake_peer;

// What the fake screen was asked to do, and how it is to fail.
struct fake_screen {
    int claims = 0;
    int made = 0;
    int shown = 0;
    int destroyed = 0;
    bool fail_make = false;
    bool fail_show = false;
    fake_peer* last = nullptr;
};
fake_screen* screen = nullptr;

class fake_peer final : public platform::screen::peer {
  public:
    explicit fake_peer(platform::window& model) : model_(model), texts_(model.layout().controls.size()) {
        ++screen->made;
        screen->last = this;
    }
    ~fake_peer() override {
        ++screen->destroyed;
        if (screen->last == this) screen->last = nullptr;
    }

    void text(std::size_t control, std::u16string_view value) override { texts_.at(control) = value; }
    platform::string text(std::size_t control) const override { return texts_.at(control); }
    void show() override {
        if (screen->fail_show) throw std::bad_alloc();
        ++screen->shown;
    }

    // The user's part. close() destroys this peer.
    void type(std::size_t control, std::u16string_view value) { texts_.at(control) = value; }
    void close() { model_.close(); }
    const platform::string& shown_text(std::size_t control) const { return texts_.at(control); }

  private:
    platform::window& model_;
    std::vector<platform::string> texts_;
};

constexpr std::size_t area = 0;
constexpr std::size_t ok = 1;

class sample_window final : public platform::window {
  public:
    explicit sample_window(std::string name = "sample")
        : window({std::move(name),
                  u"Sample",
                  3000,
                  1500,
                  {{"area", control_kind::text_area, 0, 0, 3000, 1000},
                   {"ok", control_kind::button, 0, 1000, 1500, 500}}}) {}

    int loads = 0;
    bool fail_load = false;
    std::vector<std::string> clicks;

  private:
    void load() override {
        ++loads;
        if (fail_load) throw std::runtime_error("load failed");
        text("ok", u"O\r\nK");
    }
    void clicked(std::string_view button) override {
        clicks.emplace_back(button);
        text("area", u"clicked");
    }
};

class WindowModel : public ::testing::Test {
  protected:
    WindowModel() {
        screen = &log;
        platform::use_window_backend(platform::window_backend::automatic);
        platform::screen::calls() = {
            [] {
                ++screen->claims;
                return true;
            },
            [](platform::window& model) -> std::unique_ptr<platform::screen::peer> {
                if (screen->fail_make) throw std::bad_alloc();
                return std::make_unique<fake_peer>(model);
            },
            [](double) {},
        };
    }
    ~WindowModel() override {
        platform::screen::calls() = platform::screen::real();
        platform::use_window_backend(platform::window_backend::automatic);
        screen = nullptr;
    }

    fake_screen log;
};

TEST_F(WindowModel, OpeningMakesOnePeerAfterwardsShowOnlyBringsItForward) {
    sample_window w;
    EXPECT_FALSE(w.is_open());
    w.show();
    EXPECT_TRUE(w.on_screen());
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(log.shown, 1);
    EXPECT_EQ(w.loads, 1);
    EXPECT_EQ(log.last->shown_text(ok), u"O\r\nK") << "the load step's caption reaches the screen";

    w.show();
    EXPECT_EQ(log.made, 1);
    EXPECT_EQ(log.shown, 2);
    EXPECT_EQ(w.loads, 1);
}

TEST_F(WindowModel, TextAreaGivesWhatTheUserLeftInIt) {
    sample_window w;
    w.show();
    log.last->type(area, u"typed\r\ntext");
    EXPECT_EQ(w.text("area"), u"typed\r\ntext");
    w.click("ok");
    EXPECT_EQ(log.last->shown_text(area), u"clicked");
    EXPECT_EQ(w.text("area"), u"clicked");
    EXPECT_EQ(w.clicks, std::vector<std::string>{"ok"});
}

TEST_F(WindowModel, UserClosingDiscardsTheScreenWindowAndReopeningLoadsAfresh) {
    sample_window w;
    w.show();
    log.last->type(area, u"typed");
    log.last->close();
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_FALSE(w.is_open());
    EXPECT_FALSE(platform::any_window_on_screen());

    w.show();
    EXPECT_EQ(log.made, 2);
    EXPECT_EQ(w.loads, 2);
    EXPECT_EQ(w.text("area"), u"");
}

TEST_F(WindowModel, WindowThatCannotBeCreatedOrShownIsError7AndStaysClosed) {
    sample_window w;
    log.fail_make = true;
    EXPECT_EQ(test::error_of([&] { w.show(); }), 7);
    EXPECT_FALSE(w.is_open());
    EXPECT_EQ(w.loads, 0);

    log.fail_make = false;
    log.fail_show = true;
    EXPECT_EQ(test::error_of([&] { w.show(); }), 7);
    EXPECT_FALSE(w.is_open());
    EXPECT_EQ(log.destroyed, log.made);
    EXPECT_FALSE(platform::any_window_open());

    log.fail_show = false;
    w.show();
    EXPECT_TRUE(w.on_screen());
    EXPECT_EQ(w.text("area"), u"");
}

TEST_F(WindowModel, FailingLoadStepPropagatesAndLeavesTheWindowClosed) {
    sample_window w;
    w.fail_load = true;
    EXPECT_THROW(w.show(), std::runtime_error);
    EXPECT_FALSE(w.is_open());
    EXPECT_EQ(log.destroyed, log.made);
}

TEST_F(WindowModel, HeadlessBackendNeverAsksForTheScreen) {
    platform::use_window_backend(platform::window_backend::headless);
    sample_window w;
    w.show();
    EXPECT_TRUE(w.is_open());
    EXPECT_FALSE(w.on_screen());
    EXPECT_EQ(log.claims, 0);
    EXPECT_EQ(w.text("ok"), u"O\r\nK");
}

TEST_F(WindowModel, DestroyingAnOpenWindowTakesItOffTheScreenAndOutOfTheThreadsList) {
    {
        sample_window w("gone");
        w.show();
        EXPECT_EQ(platform::find_window("gone"), &w);
    }
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(platform::find_window("gone"), nullptr);
    EXPECT_FALSE(platform::any_window_open());
}

TEST_F(WindowModel, QueriesSeeOnlyTheCallingThreadsWindows) {
    sample_window older("twin");
    sample_window newer("twin");
    sample_window other("other");
    EXPECT_EQ(platform::find_window("twin"), &newer);
    EXPECT_EQ(platform::find_window("nothing"), nullptr);
    EXPECT_FALSE(platform::any_window_open());
    other.show();
    EXPECT_TRUE(platform::any_window_open());
    EXPECT_TRUE(platform::any_window_on_screen());
    test::on_new_thread([] {
        EXPECT_EQ(platform::find_window("other"), nullptr);
        EXPECT_FALSE(platform::any_window_open());
    });
}

TEST_F(WindowModel, UnknownControlsAndClicksOnATextAreaAreError5) {
    sample_window w;
    w.show();
    EXPECT_EQ(test::error_of([&] { (void)w.text("missing"); }), 5);
    EXPECT_EQ(test::error_of([&] { w.text("missing", u"x"); }), 5);
    EXPECT_EQ(test::error_of([&] { w.click("missing"); }), 5);
    EXPECT_EQ(test::error_of([&] { w.click("area"); }), 5);
    EXPECT_TRUE(w.clicks.empty());
}

TEST(ScreenText, LineBreaksAreOneLfOnScreenAndCrLfInTheModel) {
    using platform::screen::model_text;
    using platform::screen::screen_text;
    EXPECT_EQ(screen_text(u"Generate\r\nconstants\r\nfor\r\nform"), "Generate\nconstants\nfor\nform");
    EXPECT_EQ(model_text("Generate\nconstants\nfor\nform"), u"Generate\r\nconstants\r\nfor\r\nform");
    EXPECT_EQ(model_text("pasted\r\nline\n"), u"pasted\r\nline\r\n") << "a CR LF is not doubled";
    EXPECT_EQ(model_text("\nfirst"), u"\r\nfirst");
    EXPECT_EQ(screen_text(u"caf\u00e9 \u20ac\r\n"), "caf\xc3\xa9 \xe2\x82\xac\n");
    EXPECT_EQ(model_text("caf\xc3\xa9 \xe2\x82\xac\n"), u"caf\u00e9 \u20ac\r\n");
}

}  // namespace
