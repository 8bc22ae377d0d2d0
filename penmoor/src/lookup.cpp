// The lookups: isHeader, isSetting, getSetting, and the listings. Each reads the bound file once from its
// first line and closes it before returning; an event is raised while the file is still open.
#include "edit_file.hpp"
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

// The file a lookup reads: the bound file, or inside a batch what the batch's edits made so far.
class source {
  public:
    explicit source(const edit_target& target)
        : opened_(target.batch ? platform::file() : platform::open_read(*target.path)),
          file_(target.batch ? target.batch->current() : opened_),
          ends_(platform::line_ends_by_setting(target.line_ends, file_)) {}
    // A pass over the file for the section of header line `header` (see pass).
    pass read(std::optional<std::string> header, std::size_t name_size = 0) {
        return pass(file_, ends_, std::move(header), name_size);
    }

  private:
    platform::file opened_;
    platform::file& file_;
    platform::line_ends ends_;
};

// The first line of an unbound control's lookup: TW_NOFILE, and nothing to read.
bool unbound(const edit_target& target) {
    if (target.path != nullptr) return false;
    target.raise.State(TW_NOFILE);
    return true;
}

// Reads to the section's first header line as isSetting does, after the isHeader it calls: true when
// it is there, otherwise false with both lookups' TW_NOHEADER raised.
bool to_section(pass& p, const edit_target& target) {
    if (p.to_header()) return true;
    target.raise.State(TW_NOHEADER);  // isHeader's
    target.raise.State(TW_NOHEADER);
    return false;
}

// isSetting's reading of the section, once the pass stands at its first header line: true with the pass
// at the setting's line; otherwise false, with the event isSetting raises.
bool to_setting(pass& p, const std::optional<std::string>& name, const edit_target& target) {
    switch (p.find_setting(name)) {
        case pass::search::found:
            return true;
        case pass::search::ended_by_header:
            target.raise.State(TW_NOSETTING);
            return false;
        case pass::search::end_of_file:
            return false;  // not found, and nothing to report
    }
    return false;
}

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    const edit_target t = target();
    if (unbound(t)) return platform::False;
    source file(t);
    pass p = file.read(rules::header_line(Header));
    if (p.to_header()) return platform::True;
    raise_State(TW_NOHEADER);
    return platform::False;
}

// One read stands for the two of the lookup (isHeader's, then its own); the events are those of both.
platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = target();
    if (unbound(t)) return platform::False;
    const auto name = rules::file_text(Setting);
    source file(t);
    pass p = file.read(rules::header_line(Header), name ? name->size() : 0);
    return to_section(p, t) && to_setting(p, name, t) ? platform::True : platform::False;
}

// One read stands for the three of the lookup (isHeader's, isSetting's, its own): it sees one file, so
// the value is always where isSetting found the setting.
platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = target();
    if (unbound(t)) return {};
    const auto name = rules::file_text(Setting);
    source file(t);
    pass p = file.read(rules::header_line(Header), name ? name->size() : 0);
    if (!to_section(p, t) || !to_setting(p, name, t)) return {};
    return platform::cp1252::decode(p.line_from(name->size() + 1));  // after the name and its "="
}

platform::boolean ini::listHeaders(const std::function<void(const platform::string& Header)>& each) {
    const edit_target t = target();
    if (unbound(t)) return platform::False;
    source file(t);
    pass p = file.read(std::nullopt);
    while (p.next()) {
        if (!rules::begins_section(p.text())) continue;  // passed over as it streams
        const std::string line = p.line_from();
        if (line.size() >= 2 && line.back() == ']')
            each(platform::cp1252::decode(std::string_view(line).substr(1, line.size() - 2)));
    }
    return platform::True;
}

platform::boolean ini::listSettings(
    const platform::string& Header,
    const std::function<void(const platform::string& Setting, const platform::string& Value)>& each) {
    const edit_target t = target();
    if (unbound(t)) return platform::False;
    source file(t);
    pass p = file.read(rules::header_line(Header));
    if (!to_section(p, t)) return platform::False;
    while (p.next() && !p.kind().ends_lookup) {
        if (!p.kind().lookup || !p.holds_equals()) continue;
        const std::string line = p.line_from();
        each(platform::cp1252::decode(*rules::setting_name(line)),
             platform::cp1252::decode(rules::setting_value(line)));
    }
    return platform::True;
}

}  // namespace penmoor
