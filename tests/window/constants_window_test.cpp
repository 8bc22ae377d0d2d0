// The constants generator window behind ini::showConstants, driven headless as a script would drive it.
#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <vector>

#include "penmoor/ini.hpp"
#include "run.hpp"
#include "tarnwick/windows/window.hpp"
#include "temp_dir.hpp"

namespace {

using platform::window;

constexpr const char* window_name = "tw_const_window";

// Every scenario runs on a fresh thread of a process whose windows are all headless.
class ConstantsWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { platform::use_window_backend(platform::window_backend::headless); }
};

window& the_window() {
    window* w = platform::find_window(window_name);
    if (w == nullptr) throw std::logic_error("no constants window on this thread");
    return *w;
}

std::u16string joined(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (const auto& line : lines) text += (text.empty() ? u"" : u"\r\n") + line;
    return text;
}

const std::vector<std::u16string> names_and_values = {
    u"TW_NOHEADER = 1",  u"TW_NOSETTING = 2",      u"TW_NOFILE = 4",
    u"TW_OKFILE = 8",    u"TW_HEADEREXISTS = 16",  u"TW_FILEEXISTS = 32",
    u"TW_MADEFILE = 64", u"TW_MANYSETTINGS = 128", u"TW_SETTINGEXISTS = 256",
};

std::u16string declarations(std::u16string_view prefix) {
    std::vector<std::u16string> lines;
    for (const auto& line : names_and_values) lines.push_back(std::u16string(prefix) + line);
    return joined(lines);
}

// An event sink that counts every event.
struct counter : penmoor::ini_events {
    void State(std::int16_t&) override { ++events; }
    void hasWrite() override { ++events; }
    int events = 0;
};

TEST_F(ConstantsWindow, FirstShowConstantsCreatesTheWindowOpenWithItsLayout) {
    test::on_new_thread([] {
        EXPECT_EQ(platform::find_window(window_name), nullptr);
        penmoor::ini control;
        control.showConstants();

        window& w = the_window();
        EXPECT_TRUE(w.is_open());
        EXPECT_FALSE(w.on_screen());
        const platform::window_layout& layout = w.layout();
        EXPECT_EQ(layout.title, u"Tarnwick ini writer constants");
        EXPECT_EQ(layout.width, 6585);
        EXPECT_EQ(layout.height, 4905);
        ASSERT_EQ(layout.controls.size(), 3u);  // in tab order
        const auto expect_control = [&](std::size_t i, const char* name, platform::control_kind kind,
                                        int left, int top, int width, int height) {
            const platform::control_layout& c = layout.controls[i];
            EXPECT_EQ(c.name, name);
            EXPECT_EQ(c.kind, kind);
            EXPECT_EQ((std::vector{c.left, c.top, c.width, c.height}),
                      (std::vector{left, top, width, height}))
                << name;
        };
        expect_control(0, "tw_const", platform::control_kind::text_area, 60, 60, 6480, 3585);
        expect_control(1, "Command1", platform::control_kind::button, 135, 3840, 1965, 855);
        expect_control(2, "Command2", platform::control_kind::button, 4275, 3870, 1665, 795);
    });
}

TEST_F(ConstantsWindow, LoadStepSetsFourLineCaptionsAndLeavesTheTextAreaEmpty) {
    test::on_new_thread([] {
        penmoor::ini().showConstants();
        window& w = the_window();
        EXPECT_EQ(w.text("Command1"), u"Generate\r\nconstants\r\nfor\r\nmodule");
        EXPECT_EQ(w.text("Command2"), u"Generate\r\nconstants\r\nfor\r\nform");
        EXPECT_EQ(w.text("tw_const"), u"");
    });
}

TEST_F(ConstantsWindow, EachButtonReplacesTheTextWithItsNineDeclarations) {
    test::on_new_thread([] {
        penmoor::ini().showConstants();
        window& w = the_window();

        w.click("Command1");
        const std::u16string module = w.text("tw_const");
        EXPECT_EQ(module, declarations(u"Public Const "));
        EXPECT_EQ(module.size(), 287u);
        w.click("Command1");
        EXPECT_EQ(w.text("tw_const"), module) << "the same button gives the identical text";

        w.click("Command2");
        const std::u16string form = w.text("tw_const");
        EXPECT_EQ(form, declarations(u" Const "));
        EXPECT_EQ(form.size(), 233u);
        EXPECT_NE(form.substr(form.size() - 2), u"\r\n");

        w.text("tw_const", u"typed by the user\r\nsecond line");
        w.click("Command1");
        EXPECT_EQ(w.text("tw_const"), module) << "a click discards the user's text";
    });
}

TEST_F(ConstantsWindow, ShowConstantsWhileOpenKeepsTheWindowAndEverythingInIt) {
    test::on_new_thread([] {
        penmoor::ini first;
        penmoor::ini second;
        first.showConstants();
        window& w = the_window();
        w.click("Command2");
        w.text("Command1", u"changed");  // a load step that ran again would restore it

        first.showConstants();
        second.showConstants();

        EXPECT_EQ(&the_window(), &w);
        EXPECT_TRUE(w.is_open());
        EXPECT_EQ(w.text("tw_const"), declarations(u" Const "));
        EXPECT_EQ(w.text("Command1"), u"changed");
    });
}

TEST_F(ConstantsWindow, ClosingDiscardsTheTextAndTheNextShowConstantsLoadsAfresh) {
    test::on_new_thread([] {
        penmoor::ini control;
        control.showConstants();
        window& w = the_window();
        w.click("Command1");
        w.text("Command2", u"changed");

        w.close();
        EXPECT_FALSE(w.is_open());
        EXPECT_FALSE(platform::any_window_open());
        EXPECT_EQ(platform::find_window(window_name), &w) << "the window object remains";
        EXPECT_EQ(test::error_of([&] { (void)w.text("tw_const"); }), 5);
        EXPECT_EQ(test::error_of([&] { w.click("Command1"); }), 5);

        control.showConstants();
        EXPECT_EQ(&the_window(), &w);
        EXPECT_EQ(w.text("tw_const"), u"");
        EXPECT_EQ(w.text("Command2"), u"Generate\r\nconstants\r\nfor\r\nform");
    });
}

TEST_F(ConstantsWindow, DestroyingTheControlLeavesTheWindowOpen) {
    test::on_new_thread([] {
        {
            penmoor::ini control;
            control.showConstants();
            the_window().click("Command1");
        }
        EXPECT_TRUE(the_window().is_open());
        EXPECT_EQ(the_window().text("tw_const").size(), 287u);
    });
}

TEST_F(ConstantsWindow, EachThreadHasItsOwnWindow) {
    window* windows[2] = {};
    std::barrier both_open(2);
    const auto run = [&](int i) {
        test::on_new_thread([&] {
            penmoor::ini().showConstants();
            windows[i] = &the_window();
            windows[i]->click(i == 0 ? "Command1" : "Command2");
            both_open.arrive_and_wait();  // both windows exist at once here
            EXPECT_NE(windows[0], windows[1]);
            EXPECT_EQ(windows[i]->text("tw_const").size(), i == 0 ? 287u : 233u);
            both_open.arrive_and_wait();  // neither window is destroyed before the other thread has looked
        });
    };
    std::thread other([&] { run(1); });
    run(0);
    other.join();
    EXPECT_EQ(platform::find_window(window_name), nullptr) << "none on the main thread";
}

TEST_F(ConstantsWindow, ShowConstantsTouchesNoFileNoStateAndRaisesNoEvent) {
    test::temp_dir dir;
    const std::string path = dir / "app.ini";
    test::write_file(path, "[Paths]\r\nHome=C:\\x\r\n");

    test::on_new_thread([&] {
        penmoor::ini unbound;
        counter unbound_events;
        unbound.connect(unbound_events);
        unbound.CreateNew(platform::True);
        unbound.showConstants();
        EXPECT_EQ(unbound_events.events, 0);
        EXPECT_EQ(unbound.File(), u"None");
        EXPECT_EQ(unbound.CreateNew(), platform::True);
        the_window().close();

        penmoor::ini bound;
        bound.File(test::u16(path));
        counter bound_events;
        bound.connect(bound_events);
        bound.showConstants();
        the_window().click("Command1");
        EXPECT_EQ(bound_events.events, 0);
        EXPECT_EQ(bound.File(), test::u16(path));
        EXPECT_EQ(bound.CreateNew(), platform::False);
        EXPECT_EQ(bound.Width(), 585.0f);
        EXPECT_EQ(test::read_file(path), "[Paths]\r\nHome=C:\\x\r\n");
    });
}

}  // namespace
