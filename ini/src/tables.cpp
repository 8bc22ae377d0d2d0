#include "tables.hpp"

#include <algorithm>

#include "tarnwick/files/runtime_error.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::detail {
namespace {

// The first "=" of a line. Setting names are short: the first units are scanned here, which is cheaper
// than a library call, and the rest of a long line by the library.
template <class Char>
std::size_t find_equals(std::basic_string_view<Char> line) {
    constexpr std::size_t inline_scan = 24;
    const std::size_t head = std::min(line.size(), inline_scan);
    for (std::size_t i = 0; i < head; ++i) {
        if (line[i] == Char('=')) return i;
    }
    if (head == line.size()) return line.npos;
    return line.find(Char('='), head);
}

}  // namespace

void tables::reset() noexcept {
    text_.clear();
    headers_.clear();
    settings_.clear();
}

void tables::file_line(std::u16string_view line) {
    file(line);
}

void tables::file_lines(platform::line_reader& lines) {
    std::string_view line;
    while (lines.next(line)) file(line);
}

// Windows-1252 gives every byte exactly one UTF-16 unit and maps "[", "]" and "=" to themselves, so the
// byte form classifies and measures a line exactly as its decoded text would be.
template <class Char>
void tables::file(std::basic_string_view<Char> line) {
    const std::size_t length = line.size();
    if (length <= 2) return;
    if (line.front() == Char('[') && line.back() == Char(']')) {
        if (headers_.size() == header_capacity) {
            throw platform::runtime_error(platform::err::subscript, "the tables hold at most 10001 headers");
        }
        const std::uint32_t name = append_text(line.substr(1, length - 2));
        headers_.push_back({name, static_cast<std::uint32_t>(length - 2), setting_count(), 0});
        return;
    }
    const std::size_t equals = find_equals(line);
    if (equals == line.npos || headers_.empty()) return;
    if (settings_.size() == setting_capacity) {
        throw platform::runtime_error(platform::err::subscript, "the tables hold at most 60001 settings");
    }
    const std::uint32_t name = append_text(line);
    settings_.push_back(
        {name, static_cast<std::uint32_t>(equals), static_cast<std::uint32_t>(length - equals - 1)});
    ++headers_.back().count;
}

}  // namespace tw_ini::detail
