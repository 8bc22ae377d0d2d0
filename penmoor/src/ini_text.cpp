// penmoor::ini_text: the text read once, by the lines the scanner of the reader's load finds, into
// sections and keys in memory. Each line is told apart as the engine's passes tell it (the common
// dialect's rules of ini_line.hpp, or the exact rules of line_kinds.cpp), so that every answer is the
// one ini_file's pass over the same bytes gives.
#include <algorithm>
#include <bit>
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
        std::size_t section;
        std::uint64_t hash;  // of the section and the name
    };
    struct section {
        std::string_view name;
        std::vector<std::size_t> keys;  // its entries, in the order of the text
    };
    static constexpr std::size_t npos = std::string_view::npos;

    std::string path;
    std::string text;                // the bytes as UTF-8, without a byte-order mark
    std::deque<std::string> joined;  // the values of several lines, joined (a deque never moves them)
    std::vector<section> sections;
    std::unordered_map<std::string_view, std::size_t> by_name;
    std::vector<entry> entries;
    std::vector<ini_problem> problems;
    bool common = true;

    class filer;

    const section* find(std::string_view name) const {
        const auto at = by_name.find(name);
        return at == by_name.end() ? nullptr : &sections[at->second];
    }
    std::size_t section_of(std::string_view name) {
        const auto [at, fresh] = by_name.emplace(name, sections.size());
        if (fresh) sections.push_back({name, {}});
        return at->second;
    }
    // The entry of the key in section s, or npos.
    std::size_t find(std::size_t s, std::string_view name) const {
        if (slots_.empty()) return npos;
        const std::uint64_t h = hash(s, name);
        for (std::size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const slot& at = slots_[i];
            if (at.entry == 0) return npos;
            const entry& e = entries[at.entry - 1];
            if (at.tag == static_cast<std::uint32_t>(h >> 32) && e.section == s && e.name == name)
                return at.entry - 1;
        }
    }
    // Room for the keys of text of that size, as settings files have them, taken at once.
    void expect(std::size_t bytes) {
        slots_.assign(std::bit_ceil(std::max<std::size_t>(64, bytes / 16)), slot{0, 0});
    }
    // The entry of the key in section s, added (without a value) when missing.
    std::size_t entry_of(std::size_t s, std::string_view name) {
        if (const std::size_t e = find(s, name); e != npos) return e;
        if (2 * (entries.size() + 1) > slots_.size()) grow();
        entries.push_back({name, {}, s, hash(s, name)});
        sections[s].keys.push_back(entries.size() - 1);
        place(entries.size() - 1);
        return entries.size() - 1;
    }

  private:
    // Keys by section and name: one open-addressing table of entry numbers for all of the text, so that
    // a key costs no allocation of its own.
    struct slot {
        std::uint32_t entry;  // its number + 1; 0: empty
        std::uint32_t tag;    // the high half of its hash
    };
    static std::uint64_t hash(std::size_t s, std::string_view name) noexcept {
        std::uint64_t h = std::hash<std::string_view>{}(name) ^ ((s + 1) * 0x9E3779B97F4A7C15u);
        return h ^ (h >> 29);
    }
    void place(std::size_t e) {
        const std::uint64_t h = entries[e].hash;
        std::size_t i = h & (slots_.size() - 1);
        while (slots_[i].entry != 0) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = {static_cast<std::uint32_t>(e + 1), static_cast<std::uint32_t>(h >> 32)};
    }
    void grow() {
        slots_.assign(std::max<std::size_t>(64, 2 * slots_.size()), slot{0, 0});
        for (std::size_t e = 0; e < entries.size(); ++e) place(e);
    }
    std::vector<slot> slots_;
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
            if (value_ != npos) {
                std::string& run = joined_value();
                run.append(blanks_ + 1, '\n');
                run.append(ini::trimmed(line));
                m_.entries[value_].value = run;
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
                value_ = npos;
                current_ = m_.section_of(shape.name);
                return;
            case ini::kind::setting: {
                // The lines before the first header are the section named "".
                if (current_ == npos) current_ = m_.section_of("");
                value_ = m_.entry_of(current_, shape.name);
                m_.entries[value_].value = ini::trimmed(shape.value);
                joined_ = false;
                blanks_ = 0;
                return;
            }
            case ini::kind::other:
                value_ = npos;
                const std::string_view content = ini::trimmed(line);
                problem(line,
                        !content.empty() && content.front() == '['
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
                ini_text::model::entry& e = m_.entries[m_.entry_of(current_, info.name)];
                if (e.value.data() == nullptr) e.value = line.substr(info.value_at);  // the first counts
            }
            return;
        }
        if (!line.empty()) problem(line, "no \"=\": neither a setting nor a header");
    }

    // The run of the value being read, made from its first line when it first goes on.
    std::string& joined_value() {
        if (!joined_) {
            m_.joined.emplace_back(m_.entries[value_].value);
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

    ini_text::model& m_;
    bool refuse_;
    std::size_t number_ = 0;
    std::size_t current_ = npos;  // the section whose lines these are (npos: none)
    ini::value_context context_;
    std::size_t value_ = npos;  // the entry whose value continuation lines go on with
    bool joined_ = false;       // its value is in a run of its own
    std::size_t blanks_ = 0;    // blank lines since its last line
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
    m->expect(bytes.size());
    m->text = set == platform::encoding::utf8 ? std::string(bytes) : platform::codec::to_utf8(bytes, set);
    platform::scan::line_scanner scanner(lf, model::filer(*m, malformed == malformed_lines::refused));
    scanner.finish(m->text.data(), m->text.size());
    model_ = std::move(m);
}

std::optional<std::string> ini_text::get(std::string_view section, std::string_view key) const {
    const auto s = model_->by_name.find(section);
    const std::size_t e = s == model_->by_name.end() ? model::npos : model_->find(s->second, key);
    if (e == model::npos) return std::nullopt;
    return std::string(model_->entries[e].value);
}

bool ini_text::contains(std::string_view section) const {
    // In the common dialect the lines before the first header are the section "", however few.
    return model_->find(section) != nullptr || (section.empty() && model_->common);
}

bool ini_text::contains(std::string_view section, std::string_view key) const {
    const auto s = model_->by_name.find(section);
    return s != model_->by_name.end() && model_->find(s->second, key) != model::npos;
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
        for (const std::size_t e : s->keys) names.emplace_back(model_->entries[e].name);
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
