// A plain model of the reader's tables: a list of headers with start and end indices and a list of
// settings, each query answered by scanning from the first slot. A header without settings answers as
// having none; a setting line before any header is ignored; a line that finds no free slot files nothing.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tarnwick/files/types.hpp"
#include "tarnwick/files/utf8.hpp"

namespace test {

class model {
  public:
    void reset() {
        headers_.clear();
        names_.clear();
        values_.clear();
    }

    // Files the line; the run-time error number the line ends with (9 when it finds no free slot, and
    // nothing is filed), or 0.
    int input(const std::u16string& line) {
        const std::size_t L = line.size();
        if (L <= 2) return 0;
        if (line.front() == u'[' && line.back() == u']') {
            if (headers_.size() == 10001) return 9;
            const auto m = static_cast<std::int32_t>(names_.size());
            headers_.push_back({line.substr(1, L - 2), m, m, false});
            return 0;
        }
        const std::size_t p = line.find(u'=');
        if (p == std::u16string::npos || headers_.empty()) return 0;
        if (names_.size() == 60001) return 9;
        header& h = headers_.back();
        h.end = static_cast<std::int32_t>(names_.size());
        h.has_settings = true;
        names_.push_back(line.substr(0, p));
        values_.push_back(line.substr(p + 1));
        return 0;
    }

    std::u16string RCS(const std::u16string& name, const std::u16string& setting) const {
        const header* h = find(name);
        if (!h || !h->has_settings) return {};
        for (std::int32_t i = h->start; i <= h->end; ++i) {
            if (names_[static_cast<std::size_t>(i)] == setting) return values_[static_cast<std::size_t>(i)];
        }
        return {};
    }
    std::int32_t GetSettings(const std::u16string& name) const {
        const header* h = find(name);
        if (!h) return 0;
        return h->has_settings ? h->end - h->start : -1;
    }
    std::u16string at(const std::vector<std::u16string>& table, const std::u16string& name,
                      std::int32_t position) const {
        const header* h = find(name);
        if (!h || !h->has_settings || position < 0) return {};
        const std::int64_t slot = std::int64_t{h->start} + position;
        if (slot > h->end) return {};
        return table[static_cast<std::size_t>(slot)];
    }
    std::u16string ReadAtPosition(const std::u16string& name, std::int32_t p) const {
        return at(values_, name, p);
    }
    std::u16string SettingAtPosition(const std::u16string& name, std::int32_t p) const {
        return at(names_, name, p);
    }
    std::int32_t GetNumberOfHeaders() const { return static_cast<std::int32_t>(headers_.size()) - 1; }
    std::u16string GetHeaderAtPosition(std::int32_t p) const {
        if (p < 0 || p >= static_cast<std::int32_t>(headers_.size())) return {};
        return headers_[static_cast<std::size_t>(p)].name;
    }
    platform::boolean FindHeader(const std::u16string& name) const {
        return find(name) ? platform::True : platform::False;
    }

    std::vector<std::u16string> header_names() const {
        std::vector<std::u16string> out;
        for (const header& h : headers_) out.push_back(h.name);
        return out;
    }
    const std::vector<std::u16string>& setting_names() const { return names_; }

  private:
    struct header {
        std::u16string name;
        std::int32_t start;
        std::int32_t end;
        bool has_settings;
    };

    const header* find(const std::u16string& name) const {
        for (const header& h : headers_) {
            if (h.name == name) return &h;
        }
        return nullptr;
    }

    std::vector<header> headers_;
    std::vector<std::u16string> names_;
    std::vector<std::u16string> values_;
};

// Compares every query of a control with the model: every header by position, and for every header name
// (and each of extra_names and the empty name) every keyed query, every setting name (and two that are
// not filed) and the positions around the header's settings. The first difference, described, or
// nothing.
template <class Control>
std::optional<std::string> first_difference(Control& control, const model& m,
                                            const std::vector<std::u16string>& extra_names) {
    auto differ = [](const std::string& what, const std::u16string& name) {
        return what + " of '" + platform::to_utf8(name) + "'";
    };
    std::vector<std::u16string> names = m.header_names();
    names.insert(names.end(), extra_names.begin(), extra_names.end());
    names.push_back(u"");
    std::vector<std::u16string> settings = m.setting_names();
    settings.push_back(u"");
    settings.push_back(u"zz");
    if (control.GetNumberOfHeaders() != m.GetNumberOfHeaders()) return "GetNumberOfHeaders";
    for (std::int32_t p = -2; p <= m.GetNumberOfHeaders() + 2; ++p) {
        if (control.GetHeaderAtPosition(p) != m.GetHeaderAtPosition(p))
            return "GetHeaderAtPosition " + std::to_string(p);
    }
    for (const std::u16string& name : names) {
        if (control.FindHeader(name) != m.FindHeader(name)) return differ("FindHeader", name);
        if (control.AddHeader(name) != (m.FindHeader(name) ? platform::False : platform::True)) {
            return differ("AddHeader", name);
        }
        if (control.GetSettings(name) != m.GetSettings(name)) return differ("GetSettings", name);
        const std::int32_t highest = m.GetSettings(name);
        for (const std::int32_t p : {-1, 0, 1, highest, highest + 1, highest + 2, INT_MAX, INT_MIN}) {
            if (control.ReadAtPosition(name, p) != m.ReadAtPosition(name, p)) {
                return differ("ReadAtPosition " + std::to_string(p), name);
            }
            if (control.SettingAtPosition(name, p) != m.SettingAtPosition(name, p)) {
                return differ("SettingAtPosition " + std::to_string(p), name);
            }
        }
        for (const std::u16string& setting : settings) {
            if (control.RCS(name, setting) != m.RCS(name, setting)) {
                return differ("RCS '" + platform::to_utf8(setting) + "'", name);
            }
        }
    }
    return std::nullopt;
}

}  // namespace test
