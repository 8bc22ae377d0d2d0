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

namespace ini = platform::ini;

}  // namespace

void tables::reset() noexcept {
    text_.clear();
    headers_.clear();
    settings_.clear();
    wide_headers_.clear();
    wide_settings_.clear();
    joined_.clear();
    places_.clear();
    value_ = {};
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
    if (wide) {
        mark(wide_settings_, settings_.size());
        places_.resize(settings_.size() + 1, place::store);
        places_.back() = place::units;
    }
    settings_.push_back(
        {at + static_cast<std::uint32_t>(parts.name_at), static_cast<std::uint32_t>(parts.name_length),
         at + static_cast<std::uint32_t>(parts.value_at), static_cast<std::uint32_t>(parts.value_length)});
    ++headers_.back().count;
}

// The line is checked against the capacity before its text is stored, so a refused line leaves the
// store as it was. Text the encoding has no bytes for is stored as units.
void tables::file_line(std::u16string_view line) {
    if (dialect_ == ini::dialect::common) {
        // Classified as bytes: the encoded line, or where the encoding has no bytes for it, the units
        // narrowed one to one (any unit beyond ASCII to a byte that means nothing to the rule).
        const bool wide = !encode(line, encoding_, scratch_);
        if (wide) {
            scratch_.resize(line.size());
            for (std::size_t i = 0; i < line.size(); ++i)
                scratch_[i] = line[i] < 0x80 ? static_cast<char>(line[i]) : '\x80';
        }
        const common_line c = classify_common(scratch_);
        std::uint32_t at = 0;
        if (c.what == common_line::kind::header || c.what == common_line::kind::setting) {
            if (c.what == common_line::kind::header || headers_.empty()) {
                if (headers_.size() == header_capacity) too_many_headers();
            }
            if (c.what == common_line::kind::setting && settings_.size() == setting_capacity)
                too_many_settings();
            at = wide ? text_.append_units(line) : text_.append(scratch_);
        }
        apply_common(c, scratch_, at, wide, line);
        return;
    }
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

// The number of UTF-16 units of UTF-8 bytes: one per byte that starts a character or is no part of
// one, and two for a character beyond U+FFFF. Only short lines are counted.
std::size_t tables::units_in(std::string_view utf8) noexcept {
    const platform::string text = decode_utf8(utf8);
    return text.size();
}

tables::common_line tables::classify_common(std::string_view line) const noexcept {
    common_line c{common_line::kind::nothing, ini::shape_of(line), {}, value_};
    const bool goes_on =
        ini::continues_value(c.after, c.shape.what, c.shape.indent, ini::ends_with_backslash(line));
    if (c.shape.what == ini::kind::blank) {
        c.what = common_line::kind::blank;
    } else if (goes_on) {
        c.what = common_line::kind::continuation;
        c.part = ini::trimmed(line);
    } else if (c.shape.what == ini::kind::header) {
        c.what = common_line::kind::header;
    } else if (c.shape.what == ini::kind::setting) {
        c.what = common_line::kind::setting;
    }
    return c;
}

void tables::file_common(std::uint32_t at, std::string_view line) {
    apply_common(classify_common(line), line, at, false, {});
}

void tables::apply_common(const common_line& c, std::string_view line, std::uint32_t at, bool wide,
                          std::u16string_view units) {
    const auto offset = [&](std::string_view part) {
        return static_cast<std::size_t>(part.data() - line.data());
    };
    // A setting line's value opens once it is filed: a refused one leaves none open.
    value_ = c.what == common_line::kind::setting ? ini::value_context{} : c.after;
    switch (c.what) {
        case common_line::kind::nothing:
            return;
        case common_line::kind::blank:
            if (value_.open) ++value_blanks_;
            return;
        case common_line::kind::continuation:
            continue_value(c.part, wide, units.empty() ? units : units.substr(offset(c.part), c.part.size()));
            value_blanks_ = 0;
            return;
        case common_line::kind::header:
            add_header(at + static_cast<std::uint32_t>(offset(c.shape.name)), c.shape.name.size(), wide);
            return;
        case common_line::kind::setting: {
            value_blanks_ = 0;
            // The lines before the first header are the section named "".
            if (headers_.empty()) {
                if (settings_.size() == setting_capacity) too_many_settings();
                add_header(at, 0, wide);
            }
            const std::string_view value = ini::trimmed(c.shape.value);
            line_parts parts{line_kind::setting, offset(c.shape.name), c.shape.name.size(), offset(value),
                             value.size()};
            if (value.empty()) parts.value_at = 0;
            add_setting(at, parts, wide);
            value_ = c.after;
            return;
        }
    }
}

// Appends a continuation line's text to the value of the last setting filed: the value moves to a run
// of its own the first time (joined_, or the units where either text has no bytes), where the last value
// moved always ends the run, so that each line after it is appended in place.
void tables::continue_value(std::string_view part, bool wide, std::u16string_view units) {
    const auto s = static_cast<std::int32_t>(settings_.size() - 1);
    setting_slot& v = settings_.back();
    const std::uint32_t breaks = value_blanks_ + 1;
    if (wide || place_of(s) == place::units) {
        if (place_of(s) != place::units) {
            const platform::string first = decoded(setting_value(s));
            v.value = text_.append_units(first);
            v.value_length = static_cast<std::uint32_t>(first.size());
            places_.resize(settings_.size(), place::store);
            places_.back() = place::units;
        }
        const platform::string more =
            platform::string(breaks, u'\n') + (wide ? platform::string(units) : decode(part, encoding_));
        text_.append_units(more);
        v.value_length += static_cast<std::uint32_t>(more.size());
        return;
    }
    if (place_of(s) == place::store) {
        v.value = joined_.append(text_.bytes(v.value, v.value_length));
        places_.resize(settings_.size(), place::store);
        places_.back() = place::joined;
    }
    joined_.append(std::string(breaks, '\n'));
    joined_.append(part);
    v.value_length += breaks + static_cast<std::uint32_t>(part.size());
}

}  // namespace tw_ini::detail
