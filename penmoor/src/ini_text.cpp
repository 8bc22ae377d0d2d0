// penmoor::ini_text: the text read once, by the lines the scanner of the reader's load finds, into
// sections and keys in memory. Each line is told apart as the engine's passes tell it (the common
// dialect's rules of ini_line.hpp, or the exact rules of line_kinds.cpp), so that every answer is the
// one ini_file's pass over the same bytes gives.
#include <deque>
#include <unordered_map>

#include "pass_impl.hpp"
#include "penmoor/ini_text.hpp"
#include "program_errors.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_scanner.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace penmoor {

namespace {

namespace ini = platform::ini;

// The character set of the bytes, as file_options says: as found, UTF-8 where they start with the
// byte-order mark or are valid UTF-8 throughout.
platform::encoding set_of(std::string_view bytes, text_encoding setting) {
    switch (setting) {
        case text_encoding::windows_1252:
            return platform::encoding::cp1252;
        case text_encoding::utf8:
            return platform::encoding::utf8;
        case text_encoding::as_found:
            break;
    }
    return bytes.substr(0, 3) == platform::utf8_bom || platform::codec::valid_utf8(bytes)
               ? platform::encoding::utf8
               : platform::encoding::cp1252;
}

// Whether a lone LF ends a line: as the first line end says where they are as found (a file with none:
// it does).
bool lf_ends(std::string_view bytes, line_ends setting) {
    switch (setting) {
        case line_ends::crlf:
            return false;
        case line_ends::lf:
            return true;
        case line_ends::as_found:
            break;
    }
    const std::size_t cr = bytes.find('\r');
    return bytes.substr(0, cr).find('\n') != std::string_view::npos || cr == std::string_view::npos;
}

}  // namespace

struct ini_text::model {
    struct entry {
        std::string_view name, value;
    };
    struct section {
        std::string_view name;
        std::vector<entry> keys;
        std::unordered_map<std::string_view, std::size_t> index;
    };

    std::string path;
    std::string text;                // the bytes as UTF-8, without a byte-order mark
    std::deque<std::string> joined;  // the values of several lines, joined (a deque never moves them)
    std::vector<section> sections;
    std::unordered_map<std::string_view, std::size_t> by_name;
    std::vector<ini_problem> problems;
    bool common = true;

    class filer;

    const section* find(std::string_view name) const {
        const auto at = by_name.find(name);
        return at == by_name.end() ? nullptr : &sections[at->second];
    }
    std::size_t section_of(std::string_view name) {
        const auto [at, fresh] = by_name.emplace(name, sections.size());
        if (fresh) sections.push_back({name, {}, {}});
        return at->second;
    }
};

// Files each line of the text into the model.
class ini_text::model::filer {
  public:
    filer(ini_text::model& m, bool refuse) : m_(m), refuse_(refuse) {}

    void operator()(std::size_t, std::string_view line, std::size_t) {
        ++number_;
        if (m_.common) {
            common(line);
        } else {
            exact(line);
        }
    }

  private:
    void common(std::string_view line) {
        const ini::line_shape shape = ini::shape_of(line);
        if (ini::continues_value(context_, shape.what, shape.indent, ini::ends_with_backslash(line))) {
            if (value_) {
                std::string& joined = joined_value();
                joined.append(blanks_ + 1, '\n');
                joined.append(ini::trimmed(line));
                value_->value = joined;
            }
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
                value_ = nullptr;
                current_ = m_.section_of(shape.name);
                return;
            case ini::kind::setting: {
                // The lines before the first header are the section named "".
                if (current_ == npos) current_ = m_.section_of("");
                ini_text::model::entry& e = entry_of(shape.name, true);
                e.value = ini::trimmed(shape.value);
                value_ = &e;
                joined_ = false;
                blanks_ = 0;
                return;
            }
            case ini::kind::other:
                value_ = nullptr;
                const std::string_view text = ini::trimmed(line);
                problem(line,
                        !text.empty() && text.front() == '['
                            ? "a header needs a \"]\" after its name, and nothing but a comment after that"
                            : "no \"=\" or \":\": neither a setting, a header, a comment nor a blank line");
                return;
        }
    }

    void exact(std::string_view line) {
        const engine::line_info info = engine::exact_info(line, true);
        if (info.begins_section) {
            if (!info.named) {
                current_ = npos;
                problem(line, "a header line ends with \"]\"");
                return;
            }
            // A repeat of the header line right after the section goes on with it; a later occurrence is
            // passed over, as the lookups pass it.
            const bool known = m_.by_name.count(info.name) > 0;
            const std::size_t s = m_.section_of(info.name);
            current_ = !known || (current_ == s) ? s : npos;
            return;
        }
        if (info.what == ini::kind::setting) {
            if (current_ != npos) {
                ini_text::model::entry& e = entry_of(info.name, false);
                if (e.value.data() == nullptr) e.value = line.substr(info.value_at);
            }
            return;
        }
        if (!line.empty()) problem(line, "no \"=\": neither a setting nor a header");
    }

    // The key's entry in the current section; where last_wins, a repeat's value is to be set again.
    ini_text::model::entry& entry_of(std::string_view name, bool last_wins) {
        ini_text::model::section& s = m_.sections[current_];
        const auto [at, fresh] = s.index.emplace(name, s.keys.size());
        if (fresh) s.keys.push_back({name, {}});
        ini_text::model::entry& e = s.keys[at->second];
        if (last_wins) e.value = {};
        return e;
    }

    // The run of the value being read, made from its first line when it first goes on.
    std::string& joined_value() {
        if (!joined_) {
            m_.joined.emplace_back(value_->value);
            joined_ = true;
        }
        return m_.joined.back();
    }

    void problem(std::string_view line, const char* why) {
        if (refuse_) {
            const std::string where = m_.path.empty() ? "the text" : m_.path;
            throw error(5, m_.path,
                        where + ": line " + std::to_string(number_) + " (" + std::string(line) + "): " + why);
        }
        m_.problems.push_back({m_.path, number_, std::string(line), why});
    }

    static constexpr std::size_t npos = std::string_view::npos;
    ini_text::model& m_;
    bool refuse_;
    std::size_t number_ = 0;
    std::size_t current_ = npos;  // the section whose lines these are (npos: none)
    ini::value_context context_;
    ini_text::model::entry* value_ = nullptr;  // the value that continuation lines go on with
    bool joined_ = false;                      // it is in a run of its own
    std::size_t blanks_ = 0;                   // blank lines since its last line
};

ini_text::ini_text() : model_(std::make_shared<model>()) {}

ini_text::ini_text(std::string_view bytes, const file_options& options, malformed_lines malformed) {
    take(bytes, options, malformed, {});
}

ini_text::~ini_text() = default;
ini_text::ini_text(const ini_text&) = default;
ini_text& ini_text::operator=(const ini_text&) = default;
ini_text::ini_text(ini_text&&) noexcept = default;
ini_text& ini_text::operator=(ini_text&&) noexcept = default;

void ini_text::take(std::string_view bytes, const file_options& options, malformed_lines malformed,
                    std::string path) {
    auto m = std::make_shared<model>();
    m->path = std::move(path);
    m->common = options.dialect == ini_dialect::common;
    const platform::encoding set = set_of(bytes, options.encoding);
    if (options.encoding != text_encoding::windows_1252 && bytes.substr(0, 3) == platform::utf8_bom)
        bytes.remove_prefix(3);
    const bool lf = lf_ends(bytes, options.line_ends);
    m->text = set == platform::encoding::utf8 ? std::string(bytes) : platform::codec::to_utf8(bytes, set);
    platform::scan::line_scanner scanner(lf, model::filer(*m, malformed == malformed_lines::refused));
    scanner.finish(m->text.data(), m->text.size());
    model_ = std::move(m);
}

std::optional<std::string> ini_text::get(std::string_view section, std::string_view key) const {
    const model::section* s = model_->find(section);
    if (!s) return std::nullopt;
    const auto at = s->index.find(key);
    if (at == s->index.end()) return std::nullopt;
    return std::string(s->keys[at->second].value);
}

bool ini_text::contains(std::string_view section) const {
    // In the common dialect the lines before the first header are the section "", however few.
    return model_->find(section) != nullptr || (section.empty() && model_->common);
}

bool ini_text::contains(std::string_view section, std::string_view key) const {
    const model::section* s = model_->find(section);
    return s && s->index.count(key) > 0;
}

std::vector<std::string> ini_text::sections() const {
    std::vector<std::string> names;
    names.reserve(model_->sections.size());
    for (const model::section& s : model_->sections) names.emplace_back(s.name);
    return names;
}

std::vector<std::string> ini_text::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const model::section* s = model_->find(section)) {
        names.reserve(s->keys.size());
        for (const model::entry& e : s->keys) names.emplace_back(e.name);
    }
    return names;
}

const std::vector<ini_problem>& ini_text::problems() const noexcept {
    return model_->problems;
}

const std::string& ini_text::source_of(std::string_view, std::string_view) const noexcept {
    return model_->path;
}

}  // namespace penmoor
