// The lookups: isHeader, isSetting, getSetting. Each reads the bound file once from its first line and
// closes it before returning; an event is raised while the file is still open.
#include "edit_file.hpp"
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

std::size_t size_of(const std::optional<std::string>& name) {
    return name ? name->size() : 0;
}

// The file a lookup reads: the bound file, or inside a batch what the batch's edits made so far.
class source {
  public:
    source(const std::string& path, detail::batch_state* batch)
        : opened_(batch ? platform::file() : platform::open_read(path)),
          file_(batch ? batch->current() : opened_) {}
    platform::file& get() { return file_; }

  private:
    platform::file opened_;
    platform::file& file_;
};

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    source file(native_path_, batch_);
    pass p(file.get(), platform::line_ends_by_setting(LineEnds_, file.get()), rules::header_line(Header), 0);
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
    source file(native_path_, batch_);
    pass p(file.get(), platform::line_ends_by_setting(LineEnds_, file.get()), rules::header_line(Header),
           size_of(name));
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
    source file(native_path_, batch_);
    pass p(file.get(), platform::line_ends_by_setting(LineEnds_, file.get()), rules::header_line(Header),
           size_of(name));
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

platform::boolean ini::listHeaders(const std::function<void(const platform::string& Header)>& each) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    source file(native_path_, batch_);
    pass p(file.get(), platform::line_ends_by_setting(LineEnds_, file.get()), std::nullopt, 0);
    std::string line;
    while (p.next()) {
        if (!rules::begins_section(p.text())) continue;  // passed over as it streams
        line = p.text();
        if (!p.whole()) p.lines().append_rest(line);
        if (line.size() >= 2 && line.back() == ']')
            each(platform::cp1252::decode(std::string_view(line).substr(1, line.size() - 2)));
    }
    return platform::True;
}

platform::boolean ini::listSettings(
    const platform::string& Header,
    const std::function<void(const platform::string& Setting, const platform::string& Value)>& each) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        return platform::False;
    }
    source file(native_path_, batch_);
    pass p(file.get(), platform::line_ends_by_setting(LineEnds_, file.get()), rules::header_line(Header), 0);
    if (!p.to_header()) {
        raise_State(TW_NOHEADER);  // isHeader's
        raise_State(TW_NOHEADER);
        return platform::False;
    }
    std::string line;
    while (p.next() && !p.kind().ends_lookup) {
        if (!p.kind().lookup || !p.holds_equals()) continue;
        line = p.text();
        if (!p.whole()) p.lines().append_rest(line);
        const std::string_view text(line);
        const auto eq = text.find('=');
        each(platform::cp1252::decode(text.substr(0, eq)), platform::cp1252::decode(text.substr(eq + 1)));
    }
    return platform::True;
}

}  // namespace penmoor
