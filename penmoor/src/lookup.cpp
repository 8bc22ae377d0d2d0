// The lookups: isHeader, isSetting, getSetting. Each reads the bound file once from its first line and
// closes it before returning; an event is raised while the file is still open.
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

std::size_t size_of(const std::optional<std::string>& name) {
    return name ? name->size() : 0;
}

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    platform::file source = platform::open_read(native_path_);
    pass p(source, rules::header_line(Header), 0);
    if (p.to_header()) return platform::True;
    raise_State(TW_NOHEADER);
    return platform::False;
}

// One read stands for the two of the lookup (isHeader's, then its own); the events are those of both.
platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    const auto name = rules::file_text(Setting);
    platform::file source = platform::open_read(native_path_);
    pass p(source, rules::header_line(Header), size_of(name));
    if (!p.to_header()) {
        raise_State(TW_NOHEADER);  // isHeader's
        raise_State(TW_NOHEADER);
        return platform::False;
    }
    switch (p.find_setting(name)) {
        case pass::search::found:
            return platform::True;
        case pass::search::ended_by_header:
            raise_State(TW_NOSETTING);
            return platform::False;
        case pass::search::end_of_file:
            return platform::False;  // not found, and nothing to report
    }
    return platform::False;
}

// One read stands for the three of the lookup (isHeader's, isSetting's, its own): it sees one file, so
// the value is always where isSetting found the setting.
platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return {};
    }
    const auto name = rules::file_text(Setting);
    platform::file source = platform::open_read(native_path_);
    pass p(source, rules::header_line(Header), size_of(name));
    if (!p.to_header()) {
        raise_State(TW_NOHEADER);
        raise_State(TW_NOHEADER);
        return {};
    }
    switch (p.find_setting(name)) {
        case pass::search::found: {
            std::string value(rules::setting_value(p.text()));
            if (!p.whole()) p.lines().append_rest(value);
            return platform::cp1252::decode(value);
        }
        case pass::search::ended_by_header:
            raise_State(TW_NOSETTING);
            return {};
        case pass::search::end_of_file:
            return {};
    }
    return {};
}

}  // namespace penmoor
