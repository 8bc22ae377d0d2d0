// Every query against a plain model of the tables, on random sequences of lines, resets and loads.
//
// The model (table_model.hpp) answers each query by scanning from the first slot: no index, no shortcut.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fixture.hpp"
#include "split_lines.hpp"
#include "table_model.hpp"
#include "tarnwick/files/cp1252.hpp"

namespace {

using namespace test;

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
        if (below(header_odds_) == 0) {
            std::u16string header = u"[";
            header += text(2);
            return header += u"]";
        }
        return below(2) ? text(2) + u"=" + text(2) : text(5);
    }

  private:
    std::mt19937 rng_;
    int header_odds_;
};

// Seeds 1 to 40, or the range that TW_INI_MODEL_SEEDS names ("first-last"), for a longer run by hand.
std::pair<unsigned, unsigned> seeds() {
    unsigned first = 1, last = 40;
    if (const char* range = std::getenv("TW_INI_MODEL_SEEDS")) std::sscanf(range, "%u-%u", &first, &last);
    return {first, last};
}

class ModelCheck : public reader_test {
  protected:
    void compare_all(const model& m, const std::vector<std::u16string>& extra_names) {
        ASSERT_EQ(first_difference(control, m, extra_names), std::nullopt);
    }
};

TEST_F(ModelCheck, EveryQueryMatchesTheModelOnRandomLineSequences) {
    for (auto [seed, last] = seeds(); seed <= last; ++seed) {
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
    for (auto [seed, last] = seeds(); seed <= last; ++seed) {
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
