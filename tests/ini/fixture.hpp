// A reader control with a fresh directory, and the tables read back through the queries.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "run.hpp"
#include "temp_dir.hpp"
#include "tw_ini/ini.hpp"

namespace test {

class reader_test : public ::testing::Test {
  protected:
    void feed(std::initializer_list<std::u16string_view> lines) {
        for (const auto line : lines) control.InputConf(platform::string(line));
    }

    // Writes bytes to a file in the directory and loads it.
    platform::boolean load(std::string_view bytes, const std::string& name = "app.ini") {
        write_file(dir / name, bytes);
        return control.ReadFile(u16(dir / name));
    }

    // Every header name, by position.
    std::vector<std::u16string> headers() {
        std::vector<std::u16string> names;
        for (std::int32_t k = 0; k <= control.GetNumberOfHeaders(); ++k)
            names.push_back(control.GetHeaderAtPosition(k));
        return names;
    }

    // "name=value" of every setting of the first header named header, which must exist, by position.
    std::vector<std::u16string> settings(const std::u16string& header) {
        std::vector<std::u16string> lines;
        for (std::int32_t p = 0; p <= control.GetSettings(header); ++p) {
            lines.push_back(control.SettingAtPosition(header, p) + u"=" + control.ReadAtPosition(header, p));
        }
        return lines;
    }

    temp_dir dir;
    tw_ini::ini control;
};

using ::testing::ElementsAre;
using ::testing::IsEmpty;

}  // namespace test
