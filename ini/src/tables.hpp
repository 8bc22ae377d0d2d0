// The reader's tables: every filed name and value in one UTF-16 text buffer, and fixed-size slots that
// locate them by offset. Filing a line appends to the buffer and to one slot vector and allocates only
// when a buffer must grow; reset() keeps every buffer's memory for the next load.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tarnwick/files/line_reader.hpp"
#include "text_buffer.hpp"

namespace tw_ini::detail {

// A header and the run of settings filed after it, before the next header.
struct header_slot {
    std::uint32_t name;    // offset of the name in the text
    std::uint32_t length;  // of the name
    std::int32_t start;    // slot of the first setting; the number of settings filed before the header
    std::int32_t count;    // settings filed under the header so far
};

// A setting: its name, "=", then its value, as one run of the text.
struct setting_slot {
    std::uint32_t name;
    std::uint32_t name_length;
    std::uint32_t value_length;
};

class tables {
  public:
    void reset() noexcept;

    // Files one line by the control's line rule (see InputConf). Run-time error 9 for a header or
    // setting beyond the capacity, before anything changes.
    void file_line(std::u16string_view line);
    // Files every line that `lines` has still to give, in order, its bytes read as Windows-1252. A
    // failure leaves the lines before it filed.
    void file_lines(platform::line_reader& lines);

    std::int32_t header_count() const noexcept { return static_cast<std::int32_t>(headers_.size()); }
    std::int32_t setting_count() const noexcept { return static_cast<std::int32_t>(settings_.size()); }

    // Slots by index; the index must be below the count.
    const header_slot& header(std::int32_t k) const noexcept { return headers_[static_cast<std::size_t>(k)]; }
    const setting_slot& setting(std::int32_t s) const noexcept {
        return settings_[static_cast<std::size_t>(s)];
    }

    std::u16string_view header_name(std::int32_t k) const noexcept {
        const header_slot& h = header(k);
        return text_.view(h.name, h.length);
    }
    std::u16string_view setting_name(std::int32_t s) const noexcept {
        const setting_slot& v = setting(s);
        return text_.view(v.name, v.name_length);
    }
    std::u16string_view setting_value(std::int32_t s) const noexcept {
        const setting_slot& v = setting(s);
        return text_.view(v.name + v.name_length + 1, v.value_length);
    }

  private:
    template <class Char>
    void file(std::basic_string_view<Char> line);
    std::uint32_t append_text(std::u16string_view units) { return text_.append(units); }
    std::uint32_t append_text(std::string_view bytes) { return text_.append_decoded(bytes); }

    text_buffer text_;
    std::vector<header_slot> headers_;
    std::vector<setting_slot> settings_;
};

}  // namespace tw_ini::detail
