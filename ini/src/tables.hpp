// The reader's tables: fixed-size slots that locate each filed name and value as a range of the text
// store, in filing order. Filing a line appends one slot and allocates only when a slot vector must
// grow; reset() keeps every buffer's memory for the next load. Text is decoded only when a query
// returns it, and names are compared in the store's own bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "line_rule.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/types.hpp"
#include "text_encoding.hpp"
#include "text_store.hpp"

namespace tw_ini::detail {

// A header and the run of settings filed after it, before the next header.
struct header_slot {
    std::uint32_t name;    // offset of the name in the store
    std::uint32_t length;  // of the name
    std::int32_t start;    // slot of the first setting; the number of settings filed before the header
    std::int32_t count;    // settings filed under the header so far
};

// A setting: two ranges of the store. A value need not follow its name: a value made of several lines
// (in the common dialect) is stored joined, apart from them, in a run of its own.
struct setting_slot {
    std::uint32_t name;
    std::uint32_t name_length;
    std::uint32_t value;
    std::uint32_t value_length;
};

// A filed name or value where it lies: bytes of the encoding, or (wide) UTF-16 units.
struct filed_text {
    std::string_view bytes;
    std::u16string_view units;
    bool wide = false;

    bool operator==(const name_key& key) const noexcept {
        return wide ? units == key.units() : key.equals(bytes);
    }
};

class tables {
  public:
    void reset() noexcept;

    platform::encoding encoding() const noexcept { return encoding_; }
    // The encoding of the text filed from now on; only while the tables hold no text.
    void set_encoding(platform::encoding encoding) noexcept { encoding_ = encoding; }
    // The rule lines are filed by from now on.
    void set_dialect(platform::ini::dialect rules) noexcept {
        dialect_ = rules;
        value_ = {};
    }
    // The store that a load reads the file into; lines are then filed from it with file_loaded().
    text_store& text() noexcept { return text_; }

    // Files one line of UTF-16 text by the line rule (see InputConf), its text copied into the store.
    // Run-time error 9 for a header or setting beyond the capacity, before anything changes.
    void file_line(std::u16string_view line);

    // Files a line of the store that starts at offset `at`, with the same rule and errors.
    void file_loaded(std::uint32_t at, line_view<char> line) {
        if (dialect_ == platform::ini::dialect::common) return file_common(at, line.text);
        const line_parts parts = classify_exact(line);
        if (parts.kind == line_kind::ignored) return;
        // Two characters may take up to eight bytes of UTF-8.
        if (encoding_ == platform::encoding::utf8 && line.text.size() <= 8 && units_in(line.text) <= 2)
            return;
        if (parts.kind == line_kind::header) {
            add_header(at + static_cast<std::uint32_t>(parts.name_at), parts.name_length, false);
        } else if (parts.kind == line_kind::setting) {
            add_setting(at, parts, false);
        }
    }

    std::int32_t header_count() const noexcept { return static_cast<std::int32_t>(headers_.size()); }
    std::int32_t setting_count() const noexcept { return static_cast<std::int32_t>(settings_.size()); }

    // Slots by index; the index must be below the count.
    const header_slot& header(std::int32_t k) const noexcept { return headers_[static_cast<std::size_t>(k)]; }

    filed_text header_name(std::int32_t k) const noexcept {
        const header_slot& h = header(k);
        return text_of(h.name, h.length, is_wide(wide_headers_, k));
    }
    // Whether setting s is named by bytes (not units), and with which.
    bool setting_name_is(std::int32_t s, const name_key& key) const noexcept {
        const setting_slot& v = settings_[static_cast<std::size_t>(s)];
        if (!wide_settings_.empty()) return setting_name(s) == key;
        return key.equals(text_.bytes(v.name, v.name_length));
    }
    filed_text setting_name(std::int32_t s) const noexcept {
        const setting_slot& v = settings_[static_cast<std::size_t>(s)];
        return text_of(v.name, v.name_length, is_wide(wide_settings_, s));
    }
    filed_text setting_value(std::int32_t s) const noexcept {
        const setting_slot& v = settings_[static_cast<std::size_t>(s)];
        switch (place_of(s)) {
            case place::joined:
                return {joined_.bytes(v.value, v.value_length), {}, false};
            case place::units:
                return text_of(v.value, v.value_length, true);
            case place::store:
                break;
        }
        return text_of(v.value, v.value_length, false);
    }

    // The interface text of a filed name or value.
    platform::string decoded(const filed_text& text) const {
        return text.wide ? platform::string(text.units) : decode(text.bytes, encoding_);
    }

  private:
    // Where a setting's value lies: in the store with its name, joined from several lines in joined_, or
    // as units (filed from text the encoding has no bytes for).
    enum class place : std::uint8_t { store, joined, units };

    // What a line is in the common dialect, after the lines before it.
    struct common_line {
        enum class kind : std::uint8_t { nothing, blank, continuation, header, setting } what;
        platform::ini::line_shape shape;
        std::string_view part;               // a continuation line's text, without the blanks around it
        platform::ini::value_context after;  // the value a line after it may go on with
    };
    common_line classify_common(std::string_view line) const noexcept;
    void file_common(std::uint32_t at, std::string_view line);
    // Files a classified line whose text (bytes, or units narrowed to one byte each) starts at `at`.
    void apply_common(const common_line& c, std::string_view line, std::uint32_t at, bool wide,
                      std::u16string_view units);
    void continue_value(std::string_view part, bool wide, std::u16string_view units);

    static std::size_t units_in(std::string_view utf8) noexcept;
    void add_header(std::uint32_t name, std::size_t length, bool wide);
    void add_setting(std::uint32_t at, const line_parts& parts, bool wide);
    place place_of(std::int32_t s) const noexcept {
        const auto i = static_cast<std::size_t>(s);
        return i < places_.size() ? places_[i] : place::store;
    }

    filed_text text_of(std::uint32_t at, std::uint32_t length, bool wide) const noexcept {
        if (wide) return {{}, text_.units(at, length), true};
        return {text_.bytes(at, length), {}, false};
    }
    static bool is_wide(const std::vector<bool>& wide, std::int32_t i) noexcept {
        return static_cast<std::size_t>(i) < wide.size() && wide[static_cast<std::size_t>(i)];
    }

    platform::encoding encoding_ = platform::encoding::cp1252;
    platform::ini::dialect dialect_ = platform::ini::dialect::exact;
    // The value a common-dialect line may go on with (that of the last setting filed, while open), and
    // the blank lines since its last line.
    platform::ini::value_context value_;
    std::uint32_t value_blanks_ = 0;
    text_store text_;
    text_store joined_;  // the values of several lines, joined
    std::vector<header_slot> headers_;
    std::vector<setting_slot> settings_;
    // The slots filed from units, by index; empty while there are none (a load files none).
    std::vector<bool> wide_headers_;
    std::vector<bool> wide_settings_;  // of the names
    std::vector<place> places_;        // of the values, by index; empty while all are in the store
    std::string scratch_;              // a line given to InputConf, encoded
};

}  // namespace tw_ini::detail
