#include "tables.hpp"

#include <limits>

#include "platform/cp1252.hpp"
#include "platform/runtime_error.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::detail {
namespace {

// Run-time error "Out of memory": text offsets are 32-bit.
constexpr int out_of_memory = 7;
constexpr std::size_t text_limit = std::numeric_limits<std::uint32_t>::max();

}  // namespace

void tables::reset() noexcept {
    text_.clear();
    headers_.clear();
    settings_.clear();
}

void tables::file_line(std::u16string_view line) {
    file(line);
}

void tables::file_line(std::string_view line) {
    file(line);
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
    const std::size_t equals = line.find(Char('='));
    if (equals == line.npos || headers_.empty()) return;
    if (settings_.size() == setting_capacity) {
        throw platform::runtime_error(platform::err::subscript, "the tables hold at most 60001 settings");
    }
    const std::uint32_t name = append_text(line);
    settings_.push_back(
        {name, static_cast<std::uint32_t>(equals), static_cast<std::uint32_t>(length - equals - 1)});
    ++headers_.back().count;
}

std::uint32_t tables::reserve_text(std::size_t units) const {
    if (units > text_limit - text_.size()) {
        throw platform::runtime_error(out_of_memory, "the tables hold at most 4294967295 characters of text");
    }
    return static_cast<std::uint32_t>(text_.size());
}

std::uint32_t tables::append_text(std::u16string_view units) {
    const std::uint32_t at = reserve_text(units.size());
    text_.append(units);
    return at;
}

std::uint32_t tables::append_text(std::string_view bytes) {
    const std::uint32_t at = reserve_text(bytes.size());
    platform::cp1252::decode_append(bytes, text_);
    return at;
}

}  // namespace tw_ini::detail
