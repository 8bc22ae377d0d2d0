// Where a line reader hands the lines it passes over without looking at them one by one.
#pragma once

#include <string_view>

namespace platform {

class line_sink {
public:
    virtual ~line_sink() = default;
    // Whole lines as they stand in the file, each with its terminator (CR LF or a lone CR); the last
    // line of the file may come without one.
    virtual void lines(std::string_view raw) = 0;
    // One line without its terminator.
    virtual void line(std::string_view text) = 0;
};

}  // namespace platform
