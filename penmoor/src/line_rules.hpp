// How the writer recognises lines. All comparisons are on the file's bytes: an argument is encoded once
// and compared with raw lines, so a name that has no Windows-1252 form can never match.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/cp1252.hpp"
#include "platform/types.hpp"

namespace penmoor::rules {

// The header line of a section, "[" + name + "]", or nothing when the name cannot occur in a file.
inline std::optional<std::string> header_line(const platform::string& name) {
    auto bytes = platform::cp1252::encode(name);
    if (!bytes) return std::nullopt;
    return "[" + *bytes + "]";
}

// A name to compare with the names in the file; nothing when it cannot occur there.
inline std::optional<std::string> file_text(const platform::string& name) { return platform::cp1252::encode(name); }

inline bool matches(std::string_view line, const std::optional<std::string>& target) {
    return target && line == *target;
}

// Any line whose first character is "[" ends a section, whether or not it is well formed.
inline bool begins_section(std::string_view line) { return !line.empty() && line.front() == '['; }

// The name of a setting line (the text before the first "="); nothing for a line without "=".
inline std::optional<std::string_view> setting_name(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return line.substr(0, eq);
}

inline bool is_setting(std::string_view line, const std::optional<std::string>& name) {
    const auto found = setting_name(line);
    return found && name && *found == *name;
}

// The value of a setting line: the text after the first "=".
inline std::string_view setting_value(std::string_view line) { return line.substr(line.find('=') + 1); }

}  // namespace penmoor::rules
