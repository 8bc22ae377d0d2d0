// The operations that add or change text: addHeader, addSetting, updateSetting.
#include "line_rules.hpp"
#include "penmoor/ini.hpp"
#include "rewrite.hpp"

namespace penmoor {
namespace {

// Writes Setting=Value directly below the first header line of the section.
class insert_below_header final : public copy_rule {
public:
    insert_below_header(std::optional<std::string> header, std::string setting, std::string value)
        : header_(std::move(header)), setting_(std::move(setting)), value_(std::move(value)) {}

    passage passing() const override { return pending_ ? until(header_) : passage{passage::rest}; }

    void line(std::string_view text, platform::line_writer& out) override {
        out.write_line(text);
        if (pending_ && rules::matches(text, header_)) {
            out.write_line({setting_, "=", value_});
            pending_ = false;
        }
    }
    // The section vanished since the lookup: nothing to insert below, so nothing to replace.
    bool finish() override { return !pending_; }

private:
    std::optional<std::string> header_;
    std::string setting_;
    std::string value_;
    bool pending_ = true;
};

// Replaces the first line of the setting in the first occurrence of the section. That occurrence ends
// at the next line beginning with "[", a repeat of the same header line included.
class replace_in_section final : public copy_rule {
public:
    replace_in_section(rules::raise_state raise, std::optional<std::string> header, std::string setting,
                       std::string value)
        : raise_(raise), header_(std::move(header)), setting_(std::move(setting)), value_(std::move(value)) {}

    passage passing() const override {
        if (!header_seen_) return until(header_);
        return in_section_ ? passage{} : passage{passage::rest};  // only the first occurrence is edited
    }

    void line(std::string_view text, platform::line_writer& out) override {
        if (rules::matches(text, header_)) in_section_ = header_seen_ = true;
        if (rules::begins_section(text) && !on_header_line_) in_section_ = false;
        if (!in_section_ || on_header_line_ || !rules::is_setting(text, std::string_view(setting_))) {
            out.write_line(text);
        } else if (!replaced_) {
            out.write_line({setting_, "=", value_});
            replaced_ = true;
        } else {
            // A further line of the same name: reported once, and the rest of the section is copied.
            raise_(TW_MANYSETTINGS);
            in_section_ = false;
            out.write_line(text);
        }
        if (on_header_line_ && in_section_) on_header_line_ = false;
    }

    bool finish() override {
        if (!header_seen_) {
            raise_(TW_NOHEADER);
        } else if (!replaced_) {
            raise_(TW_NOSETTING);
        }
        return replaced_;
    }

private:
    rules::raise_state raise_;
    std::optional<std::string> header_;
    std::string setting_;
    std::string value_;
    bool in_section_ = false;
    bool on_header_line_ = true;  // on until the line that opened the section has been passed
    bool header_seen_ = false;
    bool replaced_ = false;
};

}  // namespace

platform::boolean ini::addHeader(const platform::string& Header) {
    const std::string name = rules::writable(Header, "the section name");
    platform::boolean result = platform::False;
    if (isHeader(Header) != platform::False) {
        raise_State(TW_HEADEREXISTS);
    } else if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
    } else {
        append(native_path_, "\r\n\r\n[" + name + "]\r\n");
        result = platform::True;
    }
    raise_hasWrite();
    return result;
}

platform::boolean ini::addSetting(const platform::string& Header, const platform::string& Setting,
                                  const platform::string& Value) {
    std::string setting = rules::writable(Setting, "the setting name");
    std::string value = rules::writable(Value, "the value");
    platform::boolean result = platform::False;
    if (isSetting(Header, Setting) != platform::False) {
        raise_State(TW_SETTINGEXISTS);
    } else if (isHeader(Header) == platform::False) {
        raise_State(TW_NOHEADER);
    } else {
        insert_below_header rule(rules::header_line(Header), std::move(setting), std::move(value));
        if (rewrite(native_path_, rule)) {
            result = platform::True;
        } else {
            raise_State(TW_NOHEADER);
        }
    }
    raise_hasWrite();
    return result;
}

platform::boolean ini::updateSetting(const platform::string& Header, const platform::string& Setting,
                                     const platform::string& Value) {
    std::string setting = rules::writable(Setting, "the setting name");
    std::string value = rules::writable(Value, "the value");
    platform::boolean result = platform::False;
    if (isSetting(Header, Setting) != platform::False) {
        replace_in_section rule([this](std::int16_t code) { raise_State(code); }, rules::header_line(Header), std::move(setting), std::move(value));
        if (rewrite(native_path_, rule)) result = platform::True;
    }
    raise_hasWrite();
    return result;
}

}  // namespace penmoor
