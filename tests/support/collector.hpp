// A line sink for tests: the lines a reader hands over, split by the rules of split_lines.hpp, and the
// bytes exactly as they were handed over.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "split_lines.hpp"
#include "tarnwick/files/line_sink.hpp"

namespace test {

class collector : public platform::line_sink {
  public:
    explicit collector(bool lf = false) : lf_(lf) {}
    void lines(std::string_view raw) override {
        exact += raw;
        for (auto& l : split_lines(raw, lf_)) got.push_back(std::move(l));
    }
    void line(std::string_view text, std::string_view end) override {
        exact += std::string(text) + std::string(end);
        got.emplace_back(text);
    }
    void piece(std::string_view text) override {
        exact += text;
        partial += text;
    }
    void end_line(std::string_view end) override {
        exact += end;
        got.push_back(std::exchange(partial, {}));
    }

    std::vector<std::string> got;  // the lines
    std::string exact;             // the bytes
    std::string partial;           // the pieces of a line handed over so far

  private:
    bool lf_;
};

}  // namespace test
