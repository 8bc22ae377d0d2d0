// The control's lookups and edits, each one pass of the engine through one stage (stages.hpp), with the
// events its method names (events.hpp).
#include "edit_file.hpp"
#include "ini_state.hpp"
#include "line_rules.hpp"
#include "penmoor/ini.hpp"
#include "stages.hpp"
#include "tarnwick/files/cp1252.hpp"

namespace penmoor {
namespace {

constexpr platform::boolean boolean(bool b) {
    return b ? platform::True : platform::False;
}

// A lookup of method m through its stage; its events raised, its result returned.
bool found(const edit_target& t, method m, section_stage& s) {
    return look(t, s, [&](bool bound) { return reported(t, m, bound, s.found()); });
}

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return boolean(
        found(t, method::isHeader, *stages::find_section(t.rules, rules::file_text(Header), nullptr)));
}

platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    const auto s =
        stages::find_setting(t.rules, rules::file_text(Header), rules::file_text(Setting), nullptr);
    return boolean(found(t, method::isSetting, *s));
}

platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    value_text value;
    const auto s = stages::find_setting(t.rules, rules::file_text(Header), rules::file_text(Setting), &value);
    return found(t, method::getSetting, *s) ? platform::cp1252::decode(value.text()) : platform::string();
}

platform::boolean ini::listHeaders(const std::function<void(const platform::string& Header)>& each) {
    const edit_target t = state_->target();
    const auto s =
        stages::headers(t.rules, [&](std::string_view name) { each(platform::cp1252::decode(name)); });
    return boolean(look(t, *s, [&](bool bound) {
        if (!bound) t.raise.State(TW_NOFILE);
        return bound;
    }));
}

platform::boolean ini::listSettings(
    const platform::string& Header,
    const std::function<void(const platform::string& Setting, const platform::string& Value)>& each) {
    // Each setting's value is gathered, then handed over with its name.
    struct listed final : value_sink {
        const std::function<void(const platform::string&, const platform::string&)>* each;
        std::string name, value;
        void begin(std::string_view n) override {
            name.assign(n);
            value.clear();
        }
        void piece(std::string_view text) override { value.append(text); }
        void end() override { (*each)(platform::cp1252::decode(name), platform::cp1252::decode(value)); }
    } sink;
    sink.each = &each;
    const edit_target t = state_->target();
    const auto s = stages::find_section(t.rules, rules::file_text(Header), &sink);
    // The events of isSetting for a missing section; nothing for a section that is there.
    return boolean(look(t, *s, [&](bool bound) {
        return (bound && s->found().header) || reported(t, method::isSetting, bound, s->found());
    }));
}

platform::boolean ini::addHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    std::string name = rules::writable(Header, "the section name", state_->LineEnds != 0);
    return edit(t, method::addHeader, [&](platform::file&) { return stages::add_header(t.rules, name); });
}

// The new line goes directly below the section's first header line (the exact dialect), or after its
// last line (the common dialect).
platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    const edit_target t = state_->target();
    const std::string setting = rules::writable_name(Setting, state_->LineEnds != 0);
    const std::string value = rules::writable(Value, "the value", state_->LineEnds != 0);
    const auto section = rules::file_text(Header);
    return edit(t, method::addSetting,
                [&](platform::file&) { return stages::add_setting(t.rules, section, setting, value); });
}

// Replaces the first line of the setting in the first occurrence of the section, which ends at the
// next line that begins a section (a repeat of the same header line included).
platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    const edit_target t = state_->target();
    const std::string setting = rules::writable_name(Setting, state_->LineEnds != 0);
    const std::string value = rules::writable(Value, "the value", state_->LineEnds != 0);
    return edit(t, method::updateSetting, [&](platform::file&) {
        return stages::update_setting(t.rules, rules::file_text(Header), setting, value,
                                      reach::first_occurrence);
    });
}

// Drops every line of the setting in the first occurrence of the section.
platform::boolean ini::deleteSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    return edit(t, method::deleteSetting, [&](platform::file&) {
        return stages::delete_setting(t.rules, rules::file_text(Header), rules::file_text(Setting),
                                      reach::first_occurrence);
    });
}

// The events are those of emptying the section one setting name at a time, then removing its header
// lines: a hasWrite for each distinct name of its first occurrence, then one more. They are raised once
// the file is replaced, so a handler sees the file as it is after the whole deletion.
platform::boolean ini::deleteHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return edit(t, method::deleteHeader, [&](platform::file& source) {
        return stages::delete_header(t.rules, rules::file_text(Header), source);
    });
}

}  // namespace penmoor
