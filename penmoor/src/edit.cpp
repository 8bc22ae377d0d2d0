// The operations that add or change text: addHeader, addSetting, updateSetting. Each is one pass over
// the locked file that decides what the lookups it stands for would have found and copies the file with
// its change at the same time (edit_file.hpp).
#include "edit_file.hpp"
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {

platform::boolean ini::addHeader(const platform::string& Header) {
    const std::string name = rules::writable(Header, "the section name");
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);  // isHeader's
        raise_State(TW_NOFILE);
        raise_hasWrite();
        return platform::False;
    }
    // The file is copied byte for byte with the new header line after it, and the copy replaces it: an
    // append of any length lands whole or not at all.
    const outcome done = edit_file(
        native_path_, copying::bytes,
        [&](platform::file& in, platform::line_writer& out) -> outcome {
            pass p(in, rules::header_line(Header), 0, &out);
            if (p.to_header()) return {{TW_HEADEREXISTS}};
            out.write_raw("\r\n\r\n[" + name + "]\r\n");
            return {{TW_NOHEADER}, true};  // isHeader's, which did not find it
        },
        [this](std::int16_t code) { raise_State(code); });
    raise_hasWrite();
    return done.change ? platform::True : platform::False;
}

// The new line goes directly below the first header line of the section.
platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    const std::string setting = rules::writable_name(Setting);
    const std::string value = rules::writable(Value, "the value");
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);  // isSetting's
        raise_State(TW_NOFILE);  // isHeader's
        raise_State(TW_NOHEADER);
        raise_hasWrite();
        return platform::False;
    }
    const outcome done = edit_file(
        native_path_, copying::lines,
        [&](platform::file& in, platform::line_writer& out) -> outcome {
            pass p(in, rules::header_line(Header), setting.size(), &out);
            // isHeader's and isSetting's (of isSetting), isHeader's, then its own.
            if (!p.to_header()) return {{TW_NOHEADER, TW_NOHEADER, TW_NOHEADER, TW_NOHEADER}};
            p.copy();
            out.write_line({setting, "=", value});
            outcome result{{}, true};
            while (p.next()) {
                const auto& kind = p.kind();
                if (kind.lookup && rules::is_setting(p.text(), std::string_view(setting))) return {{TW_SETTINGEXISTS}};
                p.copy();
                if (kind.ends_lookup) {
                    result.codes = {TW_NOSETTING};  // isSetting's
                    break;
                }
            }
            p.copy_rest();
            return result;
        },
        [this](std::int16_t code) { raise_State(code); });
    raise_hasWrite();
    return done.change ? platform::True : platform::False;
}

// Replaces the first line of the setting in the first occurrence of the section, which ends at the
// next line beginning with "[" (a repeat of the same header line included).
platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    const std::string setting = rules::writable_name(Setting);
    const std::string value = rules::writable(Value, "the value");
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);  // isSetting's
        raise_hasWrite();
        return platform::False;
    }
    const outcome done = edit_file(
        native_path_, copying::lines,
        [&](platform::file& in, platform::line_writer& out) -> outcome {
            pass p(in, rules::header_line(Header), setting.size(), &out);
            if (!p.to_header()) return {{TW_NOHEADER, TW_NOHEADER}};  // isSetting's and its isHeader's
            p.copy();
            outcome result;
            bool found = false;    // isSetting's answer
            bool editing = true;   // until a second line of the name in the first occurrence
            while (p.next()) {
                const auto& kind = p.kind();
                if (kind.ends_lookup && !found) return {{TW_NOSETTING}};  // isSetting's
                const bool named = rules::is_setting(p.text(), std::string_view(setting));
                found = found || (kind.lookup && named);
                if (kind.first && editing && named) {
                    if (!result.change) {
                        out.write_line({setting, "=", value});
                        p.drop();
                        result.change = true;
                        continue;
                    }
                    result.codes.push_back(TW_MANYSETTINGS);
                    editing = false;
                }
                p.copy();
                if (found && (!editing || p.section().first_over())) break;
            }
            if (!found) return {};  // the section ran to the end of the file without it
            p.copy_rest();
            // The lookup read on past a repeat of the header line, where the copy does not go.
            if (!result.change) result.codes.push_back(TW_NOSETTING);
            return result;
        },
        [this](std::int16_t code) { raise_State(code); });
    raise_hasWrite();
    return done.change ? platform::True : platform::False;
}

}  // namespace penmoor
