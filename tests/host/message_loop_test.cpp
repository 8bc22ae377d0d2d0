// twhost's message loop against a library's window table played by the test: when it pumps, when it waits,
// and when it stops.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "message_loop.hpp"
#include "windows.hpp"

namespace {

// What the table's library holds: one window, open headless or on screen, and what the host did to it.
struct library_state {
    bool open = false;
    bool on_screen = false;
    int pumps = 0;
    int backend = TWC_WINDOW_BACKEND_AUTOMATIC;
    std::function<twc_status(twc_error*)> on_pump;  // runs inside each pump
};
library_state state;

const twc_window_host table = {
    sizeof(twc_window_host),
    [](std::int32_t backend) { state.backend = backend; },
    [](double, twc_error* error) {
        ++state.pumps;
        return state.on_pump ? state.on_pump(error) : TWC_OK;
    },
    [](std::int32_t on_screen_only) {
        return state.open && (state.on_screen || on_screen_only == 0) ? TWC_OK : TWC_S_FALSE;
    },
    [](const char*) { return state.open ? TWC_OK : TWC_S_FALSE; },
    [](const char*, const char*, twc_error*) { return TWC_OK; },
    [](const char*, const char*, twc_string* text, twc_error*) {
        *text = {};
        return TWC_OK;
    },
    [](const char*) {
        state.open = false;
        return TWC_OK;
    },
};

class MessageLoop : public ::testing::Test {
  protected:
    MessageLoop() {
        state = {};
        windows.add(&table);
    }
    twhost::window_hosts windows;
    std::ostringstream out, err;
};

TEST_F(MessageLoop, EndOfRunNeverWaitsForAHeadlessWindow) {
    state.open = true;
    EXPECT_EQ(twhost::wait_for_windows(windows, out, err), 0);
    EXPECT_EQ(state.pumps, 0);
    EXPECT_EQ(err.str(), "");
}

TEST_F(MessageLoop, EndOfRunPumpsUntilTheUserClosesTheWindowOnScreen) {
    state.open = state.on_screen = true;
    state.on_pump = [](twc_error*) {
        if (state.pumps == 3) state.open = false;  // the user closes it during the third pump
        return TWC_OK;
    };
    EXPECT_EQ(twhost::wait_for_windows(windows, out, err), 0);
    EXPECT_EQ(state.pumps, 3);
    EXPECT_NE(err.str().find("waiting until the windows on screen are closed"), std::string::npos)
        << err.str();
}

TEST_F(MessageLoop, HandlerErrorIsReportedAndTheWaitGoesOn) {
    state.open = state.on_screen = true;
    state.on_pump = [](twc_error* error) {
        if (state.pumps == 2) state.open = false;
        if (state.pumps != 1) return TWC_OK;
        error->number = 5;
        error->message = strdup("Invalid procedure call or argument: broken handler");
        return TWC_E_EXCEPTION;
    };
    EXPECT_EQ(twhost::wait_for_windows(windows, out, err), 1);
    EXPECT_EQ(state.pumps, 2);
    EXPECT_NE(
        err.str().find("window: run-time error 5: Invalid procedure call or argument: broken handler\n"),
        std::string::npos)
        << err.str();
}

TEST_F(MessageLoop, HeadlessOptionReachesTablesAddedBeforeAndAfter) {
    windows.headless();
    EXPECT_EQ(state.backend, TWC_WINDOW_BACKEND_HEADLESS);
    twhost::window_hosts later;
    later.headless();
    state.backend = TWC_WINDOW_BACKEND_AUTOMATIC;
    later.add(&table);
    EXPECT_EQ(state.backend, TWC_WINDOW_BACKEND_HEADLESS);
}

// A pipe standing in for standard input.
class Input : public MessageLoop {
  protected:
    Input() {
        EXPECT_EQ(::pipe(ends), 0);
        writing = ends[1];
    }
    ~Input() override {
        ::close(ends[0]);
        close_writing();
    }
    static void write_input(const char* text) {
        ASSERT_EQ(::write(writing, text, std::strlen(text)), static_cast<ssize_t>(std::strlen(text)));
    }
    static void close_writing() {
        if (writing >= 0) ::close(writing);
        writing = -1;
    }
    int ends[2] = {-1, -1};
    static inline int writing = -1;
};

TEST_F(Input, WithoutAWindowOnScreenLinesAreReadWithoutPumping) {
    state.open = true;  // headless
    write_input("Print 1\nPrint 2");
    close_writing();
    twhost::input_lines input(ends[0]);
    std::string line;
    ASSERT_TRUE(input.next(line, windows));
    EXPECT_EQ(line, "Print 1");
    ASSERT_TRUE(input.next(line, windows));
    EXPECT_EQ(line, "Print 2") << "a last line without LF is a line";
    EXPECT_FALSE(input.next(line, windows));
    EXPECT_EQ(state.pumps, 0);
}

TEST_F(Input, WindowOnScreenIsPumpedWhileNoInputIsReady) {
    state.open = state.on_screen = true;
    // The input arrives while the host is pumping: a line and a half on the second pump, the end on the
    // fourth.
    state.on_pump = [](twc_error*) {
        if (state.pumps == 2) write_input("Click \"w\", \"b\"\nPrint");
        if (state.pumps == 4) close_writing();
        return TWC_OK;
    };
    twhost::input_lines input(ends[0]);
    std::string line;
    ASSERT_TRUE(input.next(line, windows));
    EXPECT_EQ(line, "Click \"w\", \"b\"");
    EXPECT_EQ(state.pumps, 2);
    ASSERT_TRUE(input.next(line, windows));
    EXPECT_EQ(line, "Print");
    EXPECT_EQ(state.pumps, 4);
    EXPECT_FALSE(input.next(line, windows));
}

TEST_F(Input, HandlerErrorWhileWaitingForInputIsThrownAndReadingGoesOn) {
    state.open = state.on_screen = true;
    state.on_pump = [](twc_error* error) {
        if (state.pumps == 1) {
            error->number = 5;
            return TWC_E_EXCEPTION;
        }
        write_input("Print 1\n");
        return TWC_OK;
    };
    twhost::input_lines input(ends[0]);
    std::string line;
    try {
        input.next(line, windows);
        ADD_FAILURE() << "the handler's error is lost";
    } catch (const twhost::script_error& e) {
        EXPECT_EQ(e.number(), 5);
    }
    ASSERT_TRUE(input.next(line, windows));
    EXPECT_EQ(line, "Print 1");
}

}  // namespace
