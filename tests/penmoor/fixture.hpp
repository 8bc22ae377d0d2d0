// A writer control bound to a real file in a fresh directory, with every event recorded.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "penmoor/ini.hpp"
#include "run.hpp"
#include "temp_dir.hpp"

namespace test {

// Records events as "State <code>" and "hasWrite", in order.
class recorder : public penmoor::ini_events {
  public:
    void State(std::int16_t& State) override { events.push_back("State " + std::to_string(State)); }
    void hasWrite() override { events.push_back("hasWrite"); }
    // The events so far, and a fresh start.
    std::vector<std::string> take() { return std::exchange(events, {}); }

    std::vector<std::string> events;
};

class writer_test : public ::testing::Test {
  protected:
    writer_test() { control.connect(events); }

    // Writes content to path (relative to the directory) and binds the control to it. Events recorded
    // before, and the binding's own, are dropped.
    void bind(std::string_view content, const std::string& name = "app.ini") {
        events.take();
        write_file(dir / name, content);
        control.File(u16(dir / name));
        ASSERT_EQ(events.take(), std::vector<std::string>{"State 8"});
    }
    std::string content(const std::string& name = "app.ini") const { return read_file(dir / name); }

    temp_dir dir;
    penmoor::ini control;
    recorder events;
};

using ::testing::ElementsAre;
using ::testing::IsEmpty;

}  // namespace test
