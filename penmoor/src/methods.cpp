// The control's lookups and edits, each one pass of the engine through one stage (stages.hpp), with the
// events its method names (events.hpp).
#include <unordered_map>
#include <vector>

#include "edit_file.hpp"
#include "ini_state.hpp"
#include "penmoor/ini.hpp"
#include "rules.hpp"
#include "stages.hpp"
#include "tarnwick/files/utf8.hpp"
#include "text_set.hpp"

namespace penmoor {
namespace {

constexpr platform::boolean boolean(bool b) {
    return b ? platform::True : platform::False;
}

// A lookup of method m through the stage that make gives; its events raised, its result returned.
bool found(const edit_target& t, method m, const stage_maker& make) {
    const auto result = look(t, [&](transaction& tx) {
        const auto s = make(tx.current(), tx.text(), stages::guess{});
        read_through(tx, *s);
        return reported(t, m, true, s->found());
    });
    return result ? *result : reported(t, m, false, {});
}

// Text to be written: checked by the core's rules before anything else, and put in the file's bytes
// (before anything is read where the character set is fixed, once the file shows it where it is found
// there).
class written {
  public:
    written(const edit_target& t, const platform::string& text, rules::part what) : text_(text), part_(what) {
        rules::check_writable(platform::to_utf8(text), what, t.format);
        if (t.format.text != platform::encoding::as_found) rules::bytes_of_text(text, what, t.format.text);
    }
    std::string bytes(text_set& set) const { return rules::bytes_of_text(text_, part_, set.get()); }

  private:
    const platform::string& text_;
    rules::part part_;
};

edit_subject subject(rules::edit what, const platform::string& section) {
    return {what, platform::to_utf8(section), std::nullopt};
}

edit_subject subject(rules::edit what, const platform::string& section, const platform::string& key) {
    return {what, platform::to_utf8(section), platform::to_utf8(key)};
}

// The part of a section the control's updates and deletions reach: in the exact dialect its first
// occurrence, up to the next line beginning with "["; in the common one as the lookups read it.
reach reach_of(const edit_target& t) {
    return t.format.common() ? reach::lookup : reach::first_occurrence;
}

}  // namespace

platform::boolean ini::isHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return boolean(found(t, method::isHeader, [&](platform::file&, text_set& text, const stages::guess&) {
        return stages::find_section(t.format.rules, text.bytes(Header), nullptr);
    }));
}

platform::boolean ini::isSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    return boolean(found(t, method::isSetting, [&](platform::file&, text_set& text, const stages::guess&) {
        return stages::find_setting(t.format.rules, text.bytes(Header), text.bytes(Setting), nullptr);
    }));
}

platform::string ini::getSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    value_text value;
    platform::string result;
    const auto bound = look(t, [&](transaction& tx) {
        const auto s =
            stages::find_setting(t.format.rules, tx.text().bytes(Header), tx.text().bytes(Setting), &value);
        read_through(tx, *s);
        if (reported(t, method::getSetting, true, s->found())) result = tx.text().text(value.text());
        return true;
    });
    if (!bound) reported(t, method::getSetting, false, {});
    return result;
}

platform::boolean ini::listHeaders(const std::function<void(const platform::string& Header)>& each) {
    const edit_target t = state_->target();
    const auto bound = look(t, [&](transaction& tx) {
        const auto s =
            stages::headers(t.format.rules, [&](std::string_view name) { each(tx.text().text(name)); });
        read_through(tx, *s);
        return true;
    });
    if (!bound) t.raise.State(TW_NOFILE);
    return boolean(bound.has_value());
}

platform::boolean ini::listSettings(
    const platform::string& Header,
    const std::function<void(const platform::string& Setting, const platform::string& Value)>& each) {
    const edit_target t = state_->target();
    // Each setting's value is gathered, then handed over with its name; in the common dialect each key
    // once, where it first stands, with the value of its last line (the one that counts), once the
    // section has been read to the end of the file.
    struct listed final : value_sink {
        const std::function<void(const platform::string&, const platform::string&)>* each;
        text_set* text;
        bool merged = false;
        std::string name, value;
        std::vector<std::pair<std::string, std::string>> keys;
        std::unordered_map<std::string, std::size_t> index;
        void begin(std::string_view n) override {
            name.assign(n);
            value.clear();
        }
        void piece(std::string_view piece_of_value) override { value.append(piece_of_value); }
        void end() override {
            if (!merged) {
                (*each)(text->text(name), text->text(value));
                return;
            }
            const auto [at, fresh] = index.emplace(name, keys.size());
            if (fresh) {
                keys.emplace_back(name, value);
            } else {
                keys[at->second].second = value;
            }
        }
        void flush() {
            for (const auto& [k, v] : keys) (*each)(text->text(k), text->text(v));
        }
    } sink;
    sink.each = &each;
    sink.merged = t.format.common();
    const auto result = look(t, [&](transaction& tx) {
        sink.text = &tx.text();
        const auto s = stages::find_section(t.format.rules, tx.text().bytes(Header), &sink);
        read_through(tx, *s);
        sink.flush();
        // The events of isSetting for a missing section; nothing for a section that is there.
        return s->found().header || reported(t, method::isSetting, true, s->found());
    });
    return boolean(result ? *result : reported(t, method::isSetting, false, {}));
}

platform::boolean ini::addHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    const written name(t, Header, rules::part::section);
    return edit(t, method::addHeader, subject(rules::edit::add, Header),
                [&](platform::file&, text_set& text, const stages::guess&) {
                    return stages::add_header(t.format.rules, name.bytes(text));
                });
}

// The new line goes directly below the section's first header line (the exact dialect), or after its
// last line (the common dialect).
platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    const edit_target t = state_->target();
    const written setting(t, Setting, rules::part::key), value(t, Value, rules::part::value);
    return edit(t, method::addSetting, subject(rules::edit::add, Header, Setting),
                [&](platform::file&, text_set& text, const stages::guess& g) {
                    return stages::add_setting(t.format.rules, text.bytes(Header), setting.bytes(text),
                                               value.bytes(text), g);
                });
}

// Replaces the first line of the setting in the part of the section the control's edits reach.
platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    const edit_target t = state_->target();
    const written setting(t, Setting, rules::part::key), value(t, Value, rules::part::value);
    return edit(t, method::updateSetting, subject(rules::edit::change, Header, Setting),
                [&](platform::file&, text_set& text, const stages::guess& g) {
                    return stages::update_setting(t.format.rules, text.bytes(Header), setting.bytes(text),
                                                  value.bytes(text), reach_of(t), g);
                });
}

// Drops every line of the setting in the part of the section the control's edits reach.
platform::boolean ini::deleteSetting(const platform::string& Header, const platform::string& Setting) {
    const edit_target t = state_->target();
    return edit(t, method::deleteSetting, subject(rules::edit::remove_key, Header, Setting),
                [&](platform::file&, text_set& text, const stages::guess&) {
                    return stages::delete_setting(t.format.rules, text.bytes(Header), text.bytes(Setting),
                                                  reach_of(t));
                });
}

// The events are those of emptying the section one setting name at a time, then removing its header
// lines: a hasWrite for each distinct name of its first occurrence, then one more. They are raised once
// the file is replaced, so a handler sees the file as it is after the whole deletion.
platform::boolean ini::deleteHeader(const platform::string& Header) {
    const edit_target t = state_->target();
    return edit(t, method::deleteHeader, subject(rules::edit::remove_section, Header),
                [&](platform::file& source, text_set& text, const stages::guess&) {
                    return stages::delete_header(t.format.rules, text.bytes(Header), source);
                });
}

}  // namespace penmoor
