// The operations that add or change text: addHeader, addSetting, updateSetting. Each is one pass over
// the locked file that decides what the lookups it stands for would have found and copies the file with
// its change at the same time (edit_file.hpp).
#include "edit_file.hpp"
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {

platform::boolean ini::addHeader(const platform::string& Header) {
    const std::string name = rules::writable(Header, "the section name", LineEnds_ != 0);
    // The file is copied byte for byte with the new header line after it, and the copy replaces it: an
    // append of any length lands whole or not at all.
    return edit(target(), {TW_NOFILE, TW_NOFILE}, copying::bytes,
                [&](platform::file& in, platform::line_writer& out, platform::line_ends ends) -> outcome {
                    pass p(in, ends, "[" + name + "]", 0, &out);
                    if (p.to_header()) return {{TW_HEADEREXISTS}};
                    const std::string_view end = out.end();
                    out.write_raw(std::string(end) + std::string(end) + "[" + name + "]" + std::string(end));
                    return {{TW_NOHEADER}, true};  // isHeader's, which did not find it
                });
}

// The new line goes directly below the first header line of the section.
platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    const std::string setting = rules::writable_name(Setting, LineEnds_ != 0);
    const std::string value = rules::writable(Value, "the value", LineEnds_ != 0);
    return edit(target(), {TW_NOFILE, TW_NOFILE, TW_NOHEADER}, copying::lines,
                [&](platform::file& in, platform::line_writer& out, platform::line_ends ends) -> outcome {
                    pass p(in, ends, rules::header_line(Header), setting.size(), &out);
                    // isHeader's and isSetting's (of isSetting), isHeader's, then its own.
                    if (!p.to_header()) return {{TW_NOHEADER, TW_NOHEADER, TW_NOHEADER, TW_NOHEADER}};
                    p.copy();
                    out.write_line({setting, "=", value});
                    outcome result{{}, true};
                    switch (p.find_setting(setting)) {
                        case pass::search::found:
                            return {{TW_SETTINGEXISTS}};
                        case pass::search::ended_by_header:
                            result.codes = {TW_NOSETTING};
                            break;  // isSetting's
                        case pass::search::end_of_file:
                            break;
                    }
                    p.copy();
                    p.copy_rest();
                    return result;
                });
}

// Replaces the first line of the setting in the first occurrence of the section, which ends at the
// next line beginning with "[" (a repeat of the same header line included).
platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    const std::string setting = rules::writable_name(Setting, LineEnds_ != 0);
    const std::string value = rules::writable(Value, "the value", LineEnds_ != 0);
    return edit(target(), {TW_NOFILE}, copying::lines,
                [&](platform::file& in, platform::line_writer& out, platform::line_ends ends) -> outcome {
                    pass p(in, ends, rules::header_line(Header), setting.size(), &out);
                    if (!p.to_header())
                        return {{TW_NOHEADER, TW_NOHEADER}};  // isSetting's and its isHeader's
                    outcome result;
                    const auto found = p.edit_first_occurrence(setting, [&](pass& line) {
                        if (result.change) {
                            // A further line of the same name: reported once, and the rest is copied.
                            result.codes.push_back(TW_MANYSETTINGS);
                            return false;
                        }
                        out.write_line({setting, "=", value});
                        line.drop();
                        result.change = true;
                        return true;
                    });
                    if (found == pass::search::ended_by_header) return {{TW_NOSETTING}};  // isSetting's
                    if (found == pass::search::end_of_file)
                        return {};  // not in the section: isSetting says nothing
                    p.copy_rest();
                    // The lookup read on past a repeat of the header line, where the copy does not go.
                    if (!result.change) result.codes.push_back(TW_NOSETTING);
                    return result;
                });
}

}  // namespace penmoor
