// The file's line rules, stated plainly, for checking the readers against: a line ends at CR LF or a
// lone CR, and where lone LFs end lines (lf), at a lone LF too; otherwise a lone LF stays in the line; a
// final line without a terminator counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace test {

inline std::vector<std::string> split_lines(std::string_view bytes, bool lf = false) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || (lf && bytes[i] == '\n')) {
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current += bytes[i];
            pending = true;
        }
    }
    if (pending) lines.push_back(std::move(current));
    return lines;
}

}  // namespace test
