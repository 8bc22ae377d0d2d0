#include "fragment.hpp"

#include <algorithm>

#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_end.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace twini {
namespace {

namespace ini = platform::ini;

class reader {
  public:
    reader(fragment& into, const std::optional<std::string>& section) : f_(into), into_(section) {
        if (into_) note_section(*into_);
    }

    void line(std::string_view text, std::size_t number) {
        const ini::line_shape shape = ini::shape_of(text);
        const bool backslash = ini::ends_with_backslash(text);
        if (ini::continues_value(context_, shape.what, shape.indent, backslash)) {
            std::string& value = f_.settings[current_].value;
            value.append(blanks_, '\n');
            value += '\n';
            value += ini::trimmed(text);
            blanks_ = 0;
            return;
        }
        switch (shape.what) {
            case ini::kind::blank:
                ++blanks_;
                return;
            case ini::kind::comment:
                return;
            case ini::kind::header:
                blanks_ = 0;
                if (!into_) {
                    section_ = std::string(shape.name);
                    note_section(section_);
                }
                return;
            case ini::kind::setting:
                blanks_ = 0;
                set(std::string(shape.name), std::string(ini::trimmed(shape.value)));
                return;
            case ini::kind::other:
                if (!f_.unread) f_.unread.emplace(number, std::string(text));
                return;
        }
    }

  private:
    void note_section(const std::string& name) {
        if (std::ranges::find(f_.sections, name) == f_.sections.end()) f_.sections.push_back(name);
    }
    void set(std::string key, std::string value) {
        const std::string& section = into_ ? *into_ : section_;
        note_section(section);
        const auto same = [&](const fragment::setting& s) { return s.section == section && s.key == key; };
        const auto there = std::ranges::find_if(f_.settings, same);
        if (there != f_.settings.end()) {
            there->value = std::move(value);
            current_ = static_cast<std::size_t>(there - f_.settings.begin());
            return;
        }
        current_ = f_.settings.size();
        f_.settings.push_back({section, std::move(key), std::move(value)});
    }

    fragment& f_;
    const std::optional<std::string>& into_;
    std::string section_;  // "" before the first header
    ini::value_context context_;
    std::size_t current_ = 0;  // the setting whose value may go on
    std::size_t blanks_ = 0;   // blank lines since its last line
};

}  // namespace

fragment read_fragment(std::string_view text, const std::optional<std::string>& into) {
    fragment f;
    if (text.starts_with(platform::utf8_bom)) text.remove_prefix(platform::utf8_bom.size());
    reader r(f, into);
    for (std::size_t number = 1; !text.empty(); ++number) {
        const char* end = platform::line_end::first(text.data(), text.size(), true);
        const std::size_t n = end ? static_cast<std::size_t>(end - text.data()) : text.size();
        r.line(text.substr(0, n), number);
        text.remove_prefix(n + (end ? platform::line_end::length(text, n) : 0));
    }
    return f;
}

}  // namespace twini
