// The operations that remove text: deleteSetting and deleteHeader.
#include "line_rules.hpp"
#include "penmoor/ini.hpp"
#include "rewrite.hpp"
#include "scan.hpp"

namespace penmoor {
namespace {

// Drops every line of the setting in the first occurrence of the section, which ends at the next line
// beginning with "[" (a repeat of the same header line included).
class drop_setting final : public copy_rule {
public:
    drop_setting(std::optional<std::string> header, std::optional<std::string> setting)
        : header_(std::move(header)), setting_(std::move(setting)) {}

    passage passing() const override {
        if (!opened_) return until(header_);
        return in_section_ ? passage{} : passage{passage::rest};
    }

    void line(std::string_view text, platform::line_writer& out) override {
        if (rules::matches(text, header_)) in_section_ = opened_ = true;
        if (rules::begins_section(text) && !on_header_line_) in_section_ = false;
        if (in_section_ && !on_header_line_ && rules::is_setting(text, setting_)) {
            dropped_ = true;
        } else {
            out.write_line(text);
        }
        if (on_header_line_ && in_section_) on_header_line_ = false;
    }
    bool finish() override { return dropped_; }

private:
    std::optional<std::string> header_;
    std::optional<std::string> setting_;
    bool in_section_ = false;
    bool opened_ = false;
    bool on_header_line_ = true;
    bool dropped_ = false;
};

// Drops every header line of the section, wherever it stands, and the setting lines that follow any of
// them up to the next line beginning with "[" that is not itself a repeat: no setting of the deleted
// section is left behind under another section or under none. Lines without "=" stay.
class drop_section final : public copy_rule {
public:
    explicit drop_section(std::optional<std::string> header) : header_(std::move(header)) {}

    passage passing() const override { return in_section_ ? passage{} : until(header_); }

    void line(std::string_view text, platform::line_writer& out) override {
        if (rules::matches(text, header_)) {
            in_section_ = true;
            return;
        }
        if (rules::begins_section(text)) in_section_ = false;
        if (in_section_ && rules::setting_name(text)) return;
        out.write_line(text);
    }

private:
    std::optional<std::string> header_;
    bool in_section_ = false;
};

// The name of a setting line in the first occurrence of the section, or nothing when that occurrence
// holds no setting line.
std::optional<std::string> first_setting_in_section(const std::string& path, const std::optional<std::string>& header) {
    scan lines(path);
    if (!lines.skip_to(header)) return std::nullopt;
    std::string_view line;
    while (lines.next(line)) {
        if (rules::begins_section(line)) return std::nullopt;  // a repeat of the header line included
        if (const auto name = rules::setting_name(line)) return std::string(*name);
    }
    return std::nullopt;
}

}  // namespace

platform::boolean ini::deleteSetting(const platform::string& Header, const platform::string& Setting) {
    platform::boolean result = platform::False;
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
    } else if (isHeader(Header) == platform::False) {
        raise_State(TW_NOHEADER);
    } else if (isSetting(Header, Setting) == platform::False) {
        raise_State(TW_NOSETTING);
    } else {
        drop_setting rule(rules::header_line(Header), rules::file_text(Setting));
        if (rewrite(native_path_, rule)) {
            result = platform::True;
        } else {
            // The lookup saw the setting beyond a repeat of the header line, where the copy does not go.
            raise_State(TW_NOSETTING);
        }
    }
    raise_hasWrite();
    return result;
}

platform::boolean ini::deleteHeader(const platform::string& Header) {
    if (fileBound_ == platform::False) {
        raise_State(TW_NOFILE);
        raise_hasWrite();
        return platform::False;
    }
    if (isHeader(Header) == platform::False) {
        raise_State(TW_NOHEADER);
        raise_hasWrite();
        return platform::False;
    }
    const auto header = rules::header_line(Header);
    // Empty the section one setting name at a time; each pass reads the file afresh, so it sees what
    // the handlers of the nested calls' events changed. A nested call that removes nothing means the
    // file changed under it; the section's removal below still drops what setting lines are left.
    while (const auto name = first_setting_in_section(native_path_, header)) {
        if (deleteSetting(Header, platform::cp1252::decode(*name)) == platform::False) break;
    }
    drop_section rule(header);
    rewrite(native_path_, rule, {.leading_break = true});
    raise_hasWrite();
    return platform::True;
}

}  // namespace penmoor
