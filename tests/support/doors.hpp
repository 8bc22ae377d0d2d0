// One operation on a file through each door of the writer: the control's methods (as a host would call
// them for it), penmoor::ini_file and twini. Each gives the same bytes or the same refusal for the same
// file, format and operation.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "apply.hpp"
#include "penmoor/ini.hpp"
#include "penmoor/ini_file.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/utf8.hpp"

namespace test::doors {

enum class door { control, ini_file, twini };
inline constexpr door all[] = {door::control, door::ini_file, door::twini};

inline const char* name_of(door d) {
    return d == door::control ? "control" : d == door::ini_file ? "ini_file" : "twini";
}

struct operation {
    enum class kind { set, del_key, del_section } what = kind::set;
    std::string section, key, value;
};

inline operation set(std::string s, std::string k, std::string v) {
    return {operation::kind::set, std::move(s), std::move(k), std::move(v)};
}
inline operation del(std::string s, std::string k) {
    return {operation::kind::del_key, std::move(s), std::move(k), {}};
}
inline operation del(std::string s) {
    return {operation::kind::del_section, std::move(s), {}, {}};
}

// How an operation ended: 0 done (found or not), else the run-time error number (5 a refusal).
struct outcome {
    int error = 0;
    std::string message;
};

namespace detail {

inline outcome through_control(const std::string& path, const platform::format& f, const operation& op) {
    penmoor::ini w;
    w.LineEnds(static_cast<std::int16_t>(f.ends));
    w.Encoding(static_cast<std::int16_t>(f.text));
    w.Dialect(static_cast<std::int16_t>(f.rules));
    const std::u16string section = platform::from_utf8(op.section), key = platform::from_utf8(op.key),
                         value = platform::from_utf8(op.value);
    try {
        w.File(platform::from_utf8(path));
        // One change of the file, as a program makes one through the control: its calls in a batch.
        penmoor::batch change(w);
        switch (op.what) {
            case operation::kind::set:
                // Changed where its value differs, else added (with its section where that is missing).
                if (w.isSetting(section, key)) {
                    if (w.getSetting(section, key) != value) w.updateSetting(section, key, value);
                } else {
                    if (!w.isHeader(section)) w.addHeader(section);
                    w.addSetting(section, key, value);
                }
                break;
            case operation::kind::del_key:
                w.deleteSetting(section, key);
                break;
            case operation::kind::del_section:
                w.deleteHeader(section);
                break;
        }
        change.commit();
    } catch (const platform::runtime_error& e) {
        return {e.number(), e.what()};
    }
    return {};
}

inline penmoor::file_options options_of(const platform::format& f) {
    penmoor::file_options o;
    o.line_ends = static_cast<penmoor::line_ends>(f.ends);
    o.encoding = static_cast<penmoor::text_encoding>(f.text);
    o.dialect = static_cast<penmoor::ini_dialect>(f.rules);
    o.create = false;
    return o;
}

inline outcome through_ini_file(const std::string& path, const platform::format& f, const operation& op) {
    try {
        penmoor::ini_file file(path, options_of(f));
        switch (op.what) {
            case operation::kind::set:
                file.set(op.section, op.key, op.value);
                break;
            case operation::kind::del_key:
                file.erase(op.section, op.key);
                break;
            case operation::kind::del_section:
                file.erase(op.section);
                break;
        }
    } catch (const penmoor::error& e) {
        return {e.number(), e.what()};
    }
    return {};
}

inline outcome through_twini(const std::string& path, const platform::format& f, const operation& op) {
    twini::command c;
    c.file = path;
    c.format = f;
    twini::operation o;
    o.what = op.what == operation::kind::set ? twini::verb::set : twini::verb::del;
    o.section = op.section;
    if (op.what != operation::kind::del_section) o.key = op.key;
    o.value = op.value;
    c.operations = {o};
    const twini::result r = twini::run(c);
    // Not found (1) is done, as the other doors answer it; 3 is a refusal or a failure, whose number
    // twini does not print: 5 stands for it.
    return {r.status == twini::failed ? 5 : 0, r.message};
}

}  // namespace detail

inline outcome apply(door d, const std::string& path, const platform::format& f, const operation& op) {
    switch (d) {
        case door::control:
            return detail::through_control(path, f, op);
        case door::ini_file:
            return detail::through_ini_file(path, f, op);
        case door::twini:
            break;
    }
    return detail::through_twini(path, f, op);
}

}  // namespace test::doors
