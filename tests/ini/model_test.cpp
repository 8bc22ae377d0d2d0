// Every query against a plain model of the tables, on random sequences of lines, resets and loads.
//
// The model keeps the tables as a list of headers with start and end indices and a list of settings, and
// answers each query by scanning from the first slot: no index, no shortcut. A header without settings
// answers as having none; a setting line before any header is ignored.
#include <climits>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fixture.hpp"
#include "platform/cp1252.hpp"

namespace {

using namespace test;

class model {
  public:
    void reset() {
        headers_.clear();
        names_.clear();
        values_.clear();
    }

    void input(const std::u16string& line) {
        const std::size_t L = line.size();
        if (L <= 2) return;
        if (line.front() == u'[' && line.back() == u']') {
            const auto m = static_cast<std::int32_t>(names_.size());
            headers_.push_back({line.substr(1, L - 2), m, m, false});
            return;
        }
        const std::size_t p = line.find(u'=');
        if (p == std::u16string::npos || headers_.empty()) return;
        header& h = headers_.back();
        h.end = static_cast<std::int32_t>(names_.size());
        h.has_settings = true;
        names_.push_back(line.substr(0, p));
        values_.push_back(line.substr(p + 1));
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

// The lines of a file: each ends at CR LF or a lone CR; a final line without a terminator counts.
std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(std::exchange(current, {}));
            pending = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current += bytes[i];
            pending = true;
        }
    }
    if (pending) lines.push_back(current);
    return lines;
}

// Short lines over a small alphabet, so that names repeat and every line shape occurs often.
class generator {
  public:
    // header_odds: one line in that many is a header line.
    generator(unsigned seed, int header_odds) : rng_(seed), header_odds_(header_odds) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::u16string text(int max_length) {
        static constexpr char16_t alphabet[] = {u'a', u'b', u'A',      u' ',      u'=',
                                                u'[', u']', u'\u00e9', u'\u20ac', 0};
        std::u16string s;
        const int n = below(max_length + 1);
        for (int i = 0; i < n; ++i) s += alphabet[below(static_cast<int>(std::size(alphabet)))];
        return s;
    }

    std::u16string line() {
        if (below(header_odds_) == 0) return u"[" + text(2) + u"]";
        return below(2) ? text(2) + u"=" + text(2) : text(5);
    }

  private:
    std::mt19937 rng_;
    int header_odds_;
};

class ModelCheck : public reader_test {
  protected:
    // Every query for every name of interest and every position around each header's settings.
    void compare_all(const model& m, const std::vector<std::u16string>& extra_names) {
        std::vector<std::u16string> names = m.header_names();
        names.insert(names.end(), extra_names.begin(), extra_names.end());
        names.push_back(u"");
        std::vector<std::u16string> settings = m.setting_names();
        settings.push_back(u"");
        settings.push_back(u"zz");
        ASSERT_EQ(control.GetNumberOfHeaders(), m.GetNumberOfHeaders());
        for (std::int32_t p = -2; p <= m.GetNumberOfHeaders() + 2; ++p) {
            ASSERT_EQ(control.GetHeaderAtPosition(p), m.GetHeaderAtPosition(p)) << p;
        }
        for (const std::u16string& name : names) {
            ASSERT_EQ(control.FindHeader(name), m.FindHeader(name));
            ASSERT_EQ(control.AddHeader(name), m.FindHeader(name) ? platform::False : platform::True);
            ASSERT_EQ(control.GetSettings(name), m.GetSettings(name));
            const std::int32_t highest = m.GetSettings(name);
            for (const std::int32_t p : {-1, 0, 1, highest, highest + 1, highest + 2, INT_MAX, INT_MIN}) {
                ASSERT_EQ(control.ReadAtPosition(name, p), m.ReadAtPosition(name, p)) << p;
                ASSERT_EQ(control.SettingAtPosition(name, p), m.SettingAtPosition(name, p)) << p;
            }
            for (const std::u16string& setting : settings)
                ASSERT_EQ(control.RCS(name, setting), m.RCS(name, setting));
        }
    }
};

TEST_F(ModelCheck, EveryQueryMatchesTheModelOnRandomLineSequences) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Every other sequence has few headers, so that headers hold many settings.
        generator gen(seed, seed % 2 ? 4 : 40);
        model m;
        control.ResetConf();
        std::vector<std::u16string> probes;
        for (int step = 0; step < 400; ++step) {
            const int action = gen.below(100);
            if (action < 2) {
                control.ResetConf();
                m.reset();
            } else if (action < 85) {
                const std::u16string line = gen.line();
                control.InputConf(line);
                m.input(line);
            } else {
                // A few queries between lines, so that the index catches up in every state.
                const std::u16string name = gen.below(2) ? m.GetHeaderAtPosition(gen.below(5)) : gen.text(2);
                const std::u16string setting = gen.text(2);
                ASSERT_EQ(control.RCS(name, setting), m.RCS(name, setting));
                ASSERT_EQ(control.GetSettings(name), m.GetSettings(name));
                probes.push_back(name);
            }
            if (step % 50 == 49) {
                ASSERT_NO_FATAL_FAILURE(compare_all(m, probes));
            }
        }
        ASSERT_NO_FATAL_FAILURE(compare_all(m, probes));
    }
}

TEST_F(ModelCheck, LoadedFilesMatchTheModelOfTheirDecodedLines) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        generator gen(seed, 4);
        // Lines of bytes: the alphabet plus bytes that decode specially, joined by CR LF or a lone CR.
        static constexpr char bytes[] = {'a',  'b',  '=',    '[',    ']',    ' ',
                                         '\n', '\0', '\x80', '\x81', '\xe9', '\xff'};
        std::string file;
        model m;
        const int lines = gen.below(200);
        for (int i = 0; i < lines; ++i) {
            std::string line;
            const int shape = gen.below(4);
            if (shape == 0) line += '[';
            for (int n = gen.below(5); n > 0; --n)
                line += bytes[gen.below(static_cast<int>(std::size(bytes)))];
            if (shape == 0) line += ']';
            if (shape == 1) line.insert(line.begin() + gen.below(static_cast<int>(line.size()) + 1), '=');
            file += line;
            file += gen.below(4) == 0 ? "\r" : "\r\n";
        }
        if (gen.below(2)) file += "[last]";  // a final line without a terminator
        for (const std::string& line : split_lines(file)) m.input(platform::cp1252::decode(line));
        ASSERT_EQ(load(file), platform::True);
        ASSERT_NO_FATAL_FAILURE(compare_all(m, {u"a", u"b"}));
    }
}

}  // namespace
