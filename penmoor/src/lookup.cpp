// The lookups: isHeader, isSetting, getSetting. Each reads the bound file once from its first line and
// closes it before returning; an event is raised while the file is still open.
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

enum class search { found, ended_by_header, end_of_file };

// Reads the section, as the lookups read it, up to the first setting line named `name`, which is then
// the pass's current line.
search find_setting(pass& p, const std::optional<std::string>& name) {
    while (p.next()) {
        const auto& kind = p.kind();
        if (kind.ends_lookup) return search::ended_by_header;
        if (kind.lookup && rules::is_setting(p.text(), name)) return search::found;
    }
    return search::end_of_file;
}

std::size_t size_of(const std::optional<std::string>& name) { return name ? name->size() : 0; }

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
    switch (find_setting(p, name)) {
        case search::found: return platform::True;
        case search::ended_by_header: raise_State(TW_NOSETTING); return platform::False;
        case search::end_of_file: return platform::False;  // not found, and nothing to report
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
    switch (find_setting(p, name)) {
        case search::found: {
            std::string value(rules::setting_value(p.text()));
            if (!p.whole()) p.lines().append_rest(value);
            return platform::cp1252::decode(value);
        }
        case search::ended_by_header: raise_State(TW_NOSETTING); return {};
        case search::end_of_file: return {};
    }
    return {};
}

}  // namespace penmoor
