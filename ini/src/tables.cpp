#include "tables.hpp"

#include <algorithm>

#include "tarnwick/files/runtime_error.hpp"
#include "tw_ini/ini.hpp"

namespace tw_ini::detail {
namespace {

// Slot vectors double as they fill, but never past the capacity of the tables: a full load takes no
// more slot memory than its slots.
template <class Slot>
void make_room(std::vector<Slot>& slots, std::int32_t capacity) {
    if (slots.size() < slots.capacity()) return;
    const auto most = static_cast<std::size_t>(capacity);
    slots.reserve(std::min(most, std::max<std::size_t>(1024, 2 * slots.capacity())));
}

[[noreturn]] void too_many_headers() {
    throw platform::runtime_error(platform::err::subscript, "the tables hold at most 10001 headers");
}

[[noreturn]] void too_many_settings() {
    throw platform::runtime_error(platform::err::subscript, "the tables hold at most 60001 settings");
}

void mark(std::vector<bool>& wide, std::size_t i) {
    if (wide.size() <= i) wide.resize(i + 1);
    wide[i] = true;
}

}  // namespace

void tables::reset() noexcept {
    text_.clear();
    headers_.clear();
    settings_.clear();
    wide_headers_.clear();
    wide_settings_.clear();
}

void tables::add_header(std::uint32_t name, std::size_t length, bool wide) {
    if (headers_.size() == header_capacity) too_many_headers();
    make_room(headers_, header_capacity);
    if (wide) mark(wide_headers_, headers_.size());
    headers_.push_back({name, static_cast<std::uint32_t>(length), setting_count(), 0});
}

void tables::add_setting(std::uint32_t at, const line_parts& parts, bool wide) {
    if (headers_.empty()) return;
    if (settings_.size() == setting_capacity) too_many_settings();
    make_room(settings_, setting_capacity);
    if (wide) mark(wide_settings_, settings_.size());
    settings_.push_back(
        {at + static_cast<std::uint32_t>(parts.name_at), static_cast<std::uint32_t>(parts.name_length),
         at + static_cast<std::uint32_t>(parts.value_at), static_cast<std::uint32_t>(parts.value_length)});
    ++headers_.back().count;
}

// The line is checked against the capacity before its text is stored, so a refused line leaves the
// store as it was. Text the encoding has no bytes for is stored as units.
void tables::file_line(std::u16string_view line) {
    const line_parts parts = classify_exact(line_view<char16_t>{line, line.find(u'=')});
    if (parts.kind == line_kind::ignored) return;
    if (parts.kind == line_kind::header && headers_.size() == header_capacity) too_many_headers();
    if (parts.kind == line_kind::setting) {
        if (headers_.empty()) return;
        if (settings_.size() == setting_capacity) too_many_settings();
    }
    const bool wide = !encode(line, encoding_, scratch_);
    const std::uint32_t at = wide ? text_.append_units(line) : text_.append(scratch_);
    if (parts.kind == line_kind::header) {
        add_header(at + static_cast<std::uint32_t>(parts.name_at), parts.name_length, wide);
    } else {
        add_setting(at, parts, wide);
    }
}

}  // namespace tw_ini::detail
