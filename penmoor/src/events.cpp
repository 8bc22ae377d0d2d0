#include "events.hpp"

#include <array>

#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

// A lookup a method stands for, or one of its own reports.
enum class call : std::uint8_t {
    unbound,     // no file bound: fails, with no lookup made
    is_header,   // isHeader: TW_NOFILE unbound, TW_NOHEADER when the section is missing
    is_setting,  // isSetting: TW_NOFILE unbound (no isHeader then); else isHeader's events, then its own:
                 // TW_NOHEADER for a missing section, TW_NOSETTING when a header line ended the section
    edit,        // the method's own edit: true when it changes the file
    none,
};

// What follows a step's answer.
struct then {
    enum : std::uint8_t { go_on, fail, succeed } what = go_on;
    std::int16_t code = 0;  // the method's own State code, raised first (0: none)
};

struct step {
    call what = call::none;
    then if_true, if_false;
};

constexpr then go{};
constexpr then fail{then::fail, 0};
constexpr then succeed{then::succeed, 0};
constexpr then fail_with(std::int16_t code) {
    return {then::fail, code};
}

using chain = std::array<step, 4>;

// The table: each method's chain, in the order its events come.
constexpr chain chain_of(method m) {
    switch (m) {
        case method::isHeader:
            return {{{call::is_header, succeed, fail}}};
        case method::isSetting:
        case method::getSetting:
            return {{{call::is_setting, succeed, fail}}};
        case method::addHeader:
            return {{{call::is_header, fail_with(TW_HEADEREXISTS), go},
                     {call::unbound, fail_with(TW_NOFILE), go},
                     {call::edit, succeed, fail}}};
        case method::addSetting:
            return {{{call::is_setting, fail_with(TW_SETTINGEXISTS), go},
                     {call::is_header, go, fail_with(TW_NOHEADER)},
                     {call::edit, succeed, fail}}};
        case method::updateSetting:
            return {{{call::is_setting, go, fail}, {call::edit, succeed, fail_with(TW_NOSETTING)}}};
        case method::deleteSetting:
            return {{{call::unbound, fail_with(TW_NOFILE), go},
                     {call::is_header, go, fail_with(TW_NOHEADER)},
                     {call::is_setting, go, fail_with(TW_NOSETTING)},
                     {call::edit, succeed, fail_with(TW_NOSETTING)}}};
        case method::deleteHeader:
            return {{{call::unbound, fail_with(TW_NOFILE), go},
                     {call::is_header, go, fail_with(TW_NOHEADER)},
                     {call::edit, succeed, fail}}};
    }
    return {};
}

// The events of one step and its answer.
bool answer(call what, method m, bool bound, const findings& found, std::vector<std::int16_t>& codes) {
    switch (what) {
        case call::unbound:
            return !bound;
        case call::is_header:
            if (!bound) {
                codes.push_back(TW_NOFILE);
                return false;
            }
            if (!found.header) codes.push_back(TW_NOHEADER);
            return found.header;
        case call::is_setting:
            if (!bound) {
                codes.push_back(TW_NOFILE);
                return false;
            }
            if (!found.header) {
                codes.insert(codes.end(), {TW_NOHEADER, TW_NOHEADER});
                return false;
            }
            if (found.setting == search::ended_by_header) codes.push_back(TW_NOSETTING);
            return found.setting == search::found;
        case call::edit:
            if (m == method::updateSetting && found.changed && found.many) codes.push_back(TW_MANYSETTINGS);
            return found.changed;
        case call::none:
            break;
    }
    return false;
}

}  // namespace

report events_of(method m, bool bound, const findings& found) {
    report r;
    for (const step& s : chain_of(m)) {
        if (s.what == call::none) break;
        const then& next = answer(s.what, m, bound, found, r.codes) ? s.if_true : s.if_false;
        if (next.code != 0) r.codes.push_back(next.code);
        if (next.what == then::go_on) continue;
        r.result = next.what == then::succeed;
        return r;
    }
    return r;
}

}  // namespace penmoor
