// How a file's text is read and written: where its lines end, its character set and its dialect. One
// value for the controls' LineEnds, Encoding and Dialect settings, ini_file's options and twini's.
#pragma once

#include <cstdint>

#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace platform {

// The LineEnds setting: 0, a line ends at CR LF or a lone CR and lines are written with CR LF; 1, a lone
// LF ends a line too and lines are written with LF; 2, as the file's first line end says.
enum class line_ends_setting : std::int16_t { crlf = 0, lf = 1, as_found = 2 };

// Run-time error 5 unless setting is a LineEnds value.
void check_line_ends_setting(std::int16_t setting);

struct format {
    line_ends_setting ends = line_ends_setting::crlf;
    encoding text = encoding::cp1252;
    ini::dialect rules = ini::dialect::exact;
    // Common dialect: a line of no other kind is a key without a value (ini_line.hpp).
    bool bare_keys = false;

    // The controls' three settings, each checked (run-time error 5).
    static format of_settings(std::int16_t line_ends, std::int16_t encoding, std::int16_t dialect);
    // Where lines end in f, as the setting says (line_ends_of(f) where as found).
    line_ends ends_of(file& f) const;
    // Whether a lone LF may end a line in a file of this format (where they end as found, it may).
    bool lf_may_end() const noexcept { return ends != line_ends_setting::crlf; }
    bool common() const noexcept { return rules == ini::dialect::common; }
};

}  // namespace platform
