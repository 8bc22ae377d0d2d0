// The control's lookups and edits, each one pass of the engine through one stage (stages.hpp), with the
// events its method names (events.hpp).
#include "edit_file.hpp"
#include "ini_state.hpp"
#include "line_rules.hpp"
#include "penmoor/ini.hpp"
#include "stages.hpp"
#include "text_set.hpp"

namespace penmoor {
namespace {

constexpr platform::boolean boolean(bool b) {
    return b ? platform::True : platform::False;
}

// A lookup of method m through the stage that make gives; its events raised, its result returned.
bool found(const edit_target& t, method m, const stage_maker& make) {
    const auto result = look(t, [&](platform::file& source, text_set& text) {
        const auto s = make(source, text);
        read_through(t, source, text, *s);
        return reported(t, m, true, s->found());
    });
    return result ? *result : reported(t, m, false, {});
}

// Text to be written, in the file's bytes: checked before anything is read where the character set is
// fixed, and once the file shows it where it is found there.
class written {
  public:
    enum class part { section, setting, value };
    written(const edit_target& t, const platform::string& text, part what)
        : text_(text),
          part_(what),
          lf_may_end_(t.line_ends != 0),
          common_(t.rules == engine::dialect::common) {
        if (t.encoding != static_cast<std::int16_t>(platform::encoding::as_found)) {
            text_set fixed(t.encoding, nullptr);
            bytes(fixed);
        }
    }
    std::string bytes(text_set& set) const {
        const auto encoded = set.bytes(text_);
        const char* what = part_ == part::section   ? "the section name"
                           : part_ == part::setting ? "the setting name"
                                                    : "the value";
        std::string b = part_ == part::setting ? rules::writable_name(encoded, lf_may_end_)
                                               : rules::writable(encoded, what, lf_may_end_);
        if (common_ && part_ != part::section) {
            if (auto why = rules::unwritable_common(b, what, part_ == part::setting)) {
                throw platform::runtime_error(platform::err::invalid_call, *why);
            }
        }
        return b;
    }

  private:
    const platform::string& text_;
    part part_;
    bool lf_may_end_;
    bool common_;
};

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return boolean(found(t, method::isHeader, [&](platform::file&, text_set& text) {
        return stages::find_section(t.rules, text.bytes(Header), nullptr);
    }));
}

platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    return boolean(found(t, method::isSetting, [&](platform::file&, text_set& text) {
        return stages::find_setting(t.rules, text.bytes(Header), text.bytes(Setting), nullptr);
    }));
}

platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    value_text value;
    platform::string result;
    const auto bound = look(t, [&](platform::file& source, text_set& text) {
        const auto s = stages::find_setting(t.rules, text.bytes(Header), text.bytes(Setting), &value);
        read_through(t, source, text, *s);
        if (reported(t, method::getSetting, true, s->found())) result = text.text(value.text());
        return true;
    });
    if (!bound) reported(t, method::getSetting, false, {});
    return result;
}

platform::boolean ini::listHeaders(const std::function<void(const platform::string& Header)>& each) {
    const edit_target t = state_->target();
    const auto bound = look(t, [&](platform::file& source, text_set& text) {
        const auto s = stages::headers(t.rules, [&](std::string_view name) { each(text.text(name)); });
        read_through(t, source, text, *s);
        return true;
    });
    if (!bound) t.raise.State(TW_NOFILE);
    return boolean(bound.has_value());
}

platform::boolean ini::listSettings(
    const platform::string& Header,
    const std::function<void(const platform::string& Setting, const platform::string& Value)>& each) {
    const edit_target t = state_->target();
    // Each setting's value is gathered, then handed over with its name.
    struct listed final : value_sink {
        const std::function<void(const platform::string&, const platform::string&)>* each;
        text_set* text;
        std::string name, value;
        void begin(std::string_view n) override {
            name.assign(n);
            value.clear();
        }
        void piece(std::string_view piece_of_value) override { value.append(piece_of_value); }
        void end() override { (*each)(text->text(name), text->text(value)); }
    } sink;
    sink.each = &each;
    const auto result = look(t, [&](platform::file& source, text_set& text) {
        sink.text = &text;
        const auto s = stages::find_section(t.rules, text.bytes(Header), &sink);
        read_through(t, source, text, *s);
        // The events of isSetting for a missing section; nothing for a section that is there.
        return s->found().header || reported(t, method::isSetting, true, s->found());
    });
    return boolean(result ? *result : reported(t, method::isSetting, false, {}));
}

platform::boolean ini::addHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    const written name(t, Header, written::part::section);
    return edit(t, method::addHeader, [&](platform::file&, text_set& text) {
        return stages::add_header(t.rules, name.bytes(text));
    });
}

// The new line goes directly below the section's first header line (the exact dialect), or after its
// last line (the common dialect).
platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    const edit_target t = state_->target();
    const written setting(t, Setting, written::part::setting), value(t, Value, written::part::value);
    return edit(t, method::addSetting, [&](platform::file&, text_set& text) {
        return stages::add_setting(t.rules, text.bytes(Header), setting.bytes(text), value.bytes(text));
    });
}

// Replaces the first line of the setting in the first occurrence of the section, which ends at the
// next line that begins a section (a repeat of the same header line included).
platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    const edit_target t = state_->target();
    const written setting(t, Setting, written::part::setting), value(t, Value, written::part::value);
    return edit(t, method::updateSetting, [&](platform::file&, text_set& text) {
        return stages::update_setting(t.rules, text.bytes(Header), setting.bytes(text), value.bytes(text),
                                      reach::first_occurrence);
    });
}

// Drops every line of the setting in the first occurrence of the section.
platform::boolean ini::deleteSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    return edit(t, method::deleteSetting, [&](platform::file&, text_set& text) {
        return stages::delete_setting(t.rules, text.bytes(Header), text.bytes(Setting),
                                      reach::first_occurrence);
    });
}

// The events are those of emptying the section one setting name at a time, then removing its header
// lines: a hasWrite for each distinct name of its first occurrence, then one more. They are raised once
// the file is replaced, so a handler sees the file as it is after the whole deletion.
platform::boolean ini::deleteHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return edit(t, method::deleteHeader, [&](platform::file& source, text_set& text) {
        return stages::delete_header(t.rules, text.bytes(Header), source);
    });
}

}  // namespace penmoor
