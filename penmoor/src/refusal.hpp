// The one refusal of the writer's core: what it will not write or change, decided once for every door
// (the control's methods, penmoor::ini_file, twini) before anything changes. It is run-time error 5;
// each door gives it in its own words (a run-time error, a penmoor::error, an exit status).
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {

enum class cause : std::uint8_t {
    not_utf8,         // text a program gave is not UTF-8
    no_byte,          // a character that the file's character set has no byte for
    line_break,       // a CR, or an LF where an LF may end lines: the text would split its line
    not_read_back,    // a name or value that would read back as other text
    hidden_line,      // a line the edit changes or removes holds a lone LF, which looks like a line end
    beyond_repeat,    // exact dialect: the key stands after a repeat of its section's header line
    joins_value,      // a deletion would make a line it keeps go on with another key's value
    joins_section,    // a deletion would give the lines after it to the section before it
    mixed_line_ends,  // common dialect: the lines written would end otherwise than the file's own
    second_key,       // exact dialect: a new key that the common dialect would read as one already there
};

class refusal : public platform::runtime_error {
  public:
    refusal(cause why, const std::string& message)
        : platform::runtime_error(platform::err::invalid_call, message), why_(why) {}
    cause why() const noexcept { return why_; }

  private:
    cause why_;
};

}  // namespace penmoor
