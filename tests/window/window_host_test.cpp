// A host driving the constants window through the C table, as it would across the library boundary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "penmoor/ini.hpp"
#include "run.hpp"
#include "tarnwick/windows/window_host.h"

namespace {

// An error record the way a host passes one, released with the test.
struct error_record : twc_error {
    error_record() : twc_error{sizeof(twc_error), 0, nullptr, 0} {}
    ~error_record() { twc_error_clear(this); }
    error_record(const error_record&) = delete;
    error_record& operator=(const error_record&) = delete;
};

std::u16string take(twc_string& text) {
    std::u16string value(text.data != nullptr ? text.data : u"", text.length);
    std::free(text.data);
    text = {};
    return value;
}

TEST(WindowHost, ScriptClicksReadsAndClosesTheConstantsWindowHeadless) {
    const twc_window_host* host = platform::window_host();
    ASSERT_GE(host->size, sizeof(twc_window_host));
    host->use_backend(TWC_WINDOW_BACKEND_HEADLESS);

    test::on_new_thread([host] {
        EXPECT_EQ(host->any_open(0), TWC_S_FALSE);
        EXPECT_EQ(host->is_open("tw_const_window"), TWC_S_FALSE);
        penmoor::ini().showConstants();
        EXPECT_EQ(host->any_open(0), TWC_OK);
        EXPECT_EQ(host->any_open(1), TWC_S_FALSE) << "nothing is on screen";
        EXPECT_EQ(host->is_open("tw_const_window"), TWC_OK);

        error_record error;
        EXPECT_EQ(host->pump(0.0, &error), TWC_OK);
        ASSERT_EQ(host->click("tw_const_window", "Command2", &error), TWC_OK);
        twc_string text{};
        ASSERT_EQ(host->text("tw_const_window", "tw_const", &text, &error), TWC_OK);
        const std::u16string form = take(text);
        EXPECT_EQ(form.size(), 233u);
        EXPECT_EQ(form.substr(0, 23), u" Const TW_NOHEADER = 1\r");
        ASSERT_EQ(host->text("tw_const_window", "Command1", &text, &error), TWC_OK);
        EXPECT_EQ(take(text), u"Generate\r\nconstants\r\nfor\r\nmodule");

        EXPECT_EQ(host->click("tw_const_window", "Command3", &error), TWC_E_EXCEPTION);
        EXPECT_EQ(error.number, 5);
        ASSERT_NE(error.message, nullptr);
        EXPECT_NE(std::string(error.message).find("Command3"), std::string::npos) << error.message;
        twc_error_clear(&error);

        EXPECT_EQ(host->close("tw_const_window"), TWC_OK);
        EXPECT_EQ(host->close("tw_const_window"), TWC_S_FALSE);
        EXPECT_EQ(host->any_open(0), TWC_S_FALSE);
        EXPECT_EQ(host->text("tw_const_window", "tw_const", &text, &error), TWC_E_EXCEPTION);
        EXPECT_EQ(error.number, 5);
        EXPECT_EQ(text.data, nullptr);
        twc_error_clear(&error);
        EXPECT_EQ(host->click("no_such_window", "Command1", nullptr), TWC_E_EXCEPTION);
    });
    host->use_backend(TWC_WINDOW_BACKEND_AUTOMATIC);
}

}  // namespace
