// The lookups: isHeader, isSetting, getSetting. Each reads the bound file from its first line and
// closes it before returning; an event raised on the way is raised while the file is still open.
#include "line_rules.hpp"
#include "penmoor/ini.hpp"
#include "scan.hpp"

namespace penmoor {

platform::boolean ini::isHeader(const platform::string& Header) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    scan lines(native_path_);
    if (lines.skip_to(rules::header_line(Header))) return platform::True;
    raise_State(TW_NOHEADER);
    return platform::False;
}

platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    if (isHeader(Header) == platform::False) {
        raise_State(TW_NOHEADER);
        return platform::False;
    }
    const auto header = rules::header_line(Header);
    const auto name = rules::file_text(Setting);
    scan lines(native_path_);
    // Lines before the section are never examined.
    if (!lines.skip_to(header)) return platform::False;
    std::string_view line;
    while (lines.next(line)) {
        // A repeat of the section's header line continues the section.
        if (rules::matches(line, header)) continue;
        if (rules::begins_section(line)) {
            raise_State(TW_NOSETTING);
            return platform::False;
        }
        if (rules::is_setting(line, name)) return platform::True;
    }
    // The section ran to the end of the file: not found, and nothing to report.
    return platform::False;
}

platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return {};
    }
    if (isSetting(Header, Setting) == platform::False) return {};
    const auto header = rules::header_line(Header);
    const auto name = rules::file_text(Setting);
    scan lines(native_path_);
    bool in_section = lines.skip_to(header);
    std::string_view line;
    while (in_section && lines.next(line)) {
        if (rules::matches(line, header)) continue;
        if (rules::begins_section(line)) {
            in_section = false;
            break;
        }
        if (rules::is_setting(line, name)) return platform::cp1252::decode(rules::setting_value(line));
    }
    // Reached only when the file changed since isSetting looked at it.
    raise_State(in_section ? TW_NOSETTING : TW_NOHEADER);
    return {};
}

}  // namespace penmoor
