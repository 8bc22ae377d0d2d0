// Kills writers at random moments and checks what they leave behind.
//
// Each round resets a 1 MB file, lets a child process bind it and run one writer operation, and kills
// the child with SIGKILL after a random delay. The file must then hold exactly the content before the
// operation or the content after it: never missing, never partial, never half-way through a deletion of
// a whole section, never with part of an appended section name of megabytes. A following update in this
// process must succeed and leave no temporary file. Every operation runs on the file with CR LF line
// ends and on the same file with LF line ends, as LineEnds 2 finds them.
//
//   crash_test [--kills N] [--seed S]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "penmoor/ini.hpp"
#include "temp_dir.hpp"

namespace {

struct operation {
    const char* name;
    std::function<void(penmoor::ini&)> run;
};

const operation operations[] = {
    {"addHeader", [](penmoor::ini& w) { w.addHeader(u"NewSection"); }},
    {"addSetting", [](penmoor::ini& w) { w.addSetting(u"Target", u"Added", u"value"); }},
    {"updateSetting", [](penmoor::ini& w) { w.updateSetting(u"Target", u"Key3", u"updated"); }},
    {"deleteSetting", [](penmoor::ini& w) { w.deleteSetting(u"Target", u"Key4"); }},
    {"deleteHeader", [](penmoor::ini& w) { w.deleteHeader(u"Target"); }},
    {"addHeader 8 MB", [](penmoor::ini& w) { w.addHeader(std::u16string(8 << 20, u'h')); }},
};

std::string start_content() {
    std::string text = "[Untouched]\r\nk=v\r\n";
    auto add_sections = [&](int from, int to) {
        for (int s = from; s < to; ++s) {
            text += "[Section" + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 10; ++k) text += "Key" + std::to_string(k) + "=a value of some length\r\n";
        }
    };
    add_sections(0, 1800);
    text += "[Target]\r\n";
    for (int k = 0; k < 10; ++k) text += "Key" + std::to_string(k) + "=target value\r\n";
    add_sections(1800, 3600);
    return text;
}

// Records the file after every hasWrite: the states an operation passes through.
class snapshots : public penmoor::ini_events {
  public:
    explicit snapshots(std::string path) : path_(std::move(path)) {}
    void hasWrite() override { states.push_back(test::read_file(path_)); }
    std::vector<std::string> states;

  private:
    std::string path_;
};

struct reference {
    std::vector<std::string> states;  // before first
    std::chrono::microseconds duration{};
};

[[noreturn]] void run_in_child(const operation& op, const std::string& path, std::int16_t line_ends) {
    penmoor::ini w;
    w.LineEnds(line_ends);
    w.File(test::u16(path));
    op.run(w);
    ::_exit(0);
}

// How long a child takes from fork to its end, at most over a few runs: the range of the kill delays.
std::chrono::microseconds time_in_child(const operation& op, const std::string& path,
                                        const std::string& start, std::int16_t line_ends) {
    std::chrono::microseconds longest{0};
    for (int run = 0; run < 3; ++run) {
        test::write_file(path, start);
        const auto begin = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) run_in_child(op, path, line_ends);
        ::waitpid(child, nullptr, 0);
        longest = std::max(longest, std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now() - begin));
    }
    return longest;
}

reference run_to_completion(const operation& op, const std::string& path, const std::string& start,
                            std::int16_t line_ends) {
    test::write_file(path, start);
    penmoor::ini w;
    w.LineEnds(line_ends);
    w.File(test::u16(path));
    snapshots seen(path);
    w.connect(seen);
    op.run(w);
    // Every hasWrite of one operation sees the same file: the operation's end.
    std::vector<std::string> states{start};
    for (auto& state : seen.states) {
        if (state != states.back()) states.push_back(std::move(state));
    }
    return {states};
}

std::string lf_only(std::string text) {
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int kills = 1000;
    unsigned seed = std::random_device{}();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--kills" && i + 1 < argc) {
            kills = std::atoi(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: crash_test [--kills N] [--seed S]\n");
            return 2;
        }
    }
    std::printf("crash_test: %d kills, seed %u\n", kills, seed);
    std::mt19937 random(seed);
    test::temp_dir dir;
    const std::string path = dir / "app.ini";
    // Every operation runs on the file with CR LF line ends, LineEnds 0, and on the same file with LF
    // line ends, LineEnds 2 (as found); a case is an operation and one of these.
    const std::string starts[] = {start_content(), lf_only(start_content())};
    const std::int16_t modes[] = {0, 2};
    const std::size_t ops = std::size(operations), cases = 2 * ops;
    auto name_of = [&](std::size_t c) {
        return std::string(operations[c % ops].name) + (c < ops ? "" : " LF");
    };

    std::vector<reference> references;
    for (std::size_t c = 0; c < cases; ++c) {
        references.push_back(run_to_completion(operations[c % ops], path, starts[c / ops], modes[c / ops]));
        if (references.back().states.size() != 2) {
            std::printf("%s passes through %zu states, not before and after only\n", name_of(c).c_str(),
                        references.back().states.size());
            return 1;
        }
    }
    for (std::size_t c = 0; c < cases; ++c) {
        references[c].duration = time_in_child(operations[c % ops], path, starts[c / ops], modes[c / ops]);
        std::printf("%-17s runs to its end in a child in %lld us\n", name_of(c).c_str(),
                    static_cast<long long>(references[c].duration.count()));
    }

    std::map<std::string, std::map<std::size_t, int>> outcomes;  // operation -> state index -> count
    int stale_temporaries = 0, failures = 0, killed_midway = 0;
    for (int round = 0; round < kills; ++round) {
        const std::size_t which = static_cast<std::size_t>(round) % cases;
        const operation& op = operations[which % ops];
        const std::string name = name_of(which);
        const reference& ref = references[which];
        const std::int16_t mode = modes[which / ops];
        test::write_file(path, starts[which / ops]);

        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0) {
            run_in_child(op, path, mode);
        }
        // Anywhere from before the child starts to a little after it would have finished.
        const auto limit = static_cast<unsigned long>(ref.duration.count()) * 6 / 5 + 1;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % limit));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) ++killed_midway;

        if (!test::exists(path)) {
            std::printf("round %d (%s): the file is missing\n", round, name.c_str());
            ++failures;
            continue;
        }
        const std::string now = test::read_file(path);
        std::size_t state = 0;
        while (state < ref.states.size() && ref.states[state] != now) ++state;
        if (state == ref.states.size()) {
            std::printf("round %d (%s): the file holds %zu bytes that no state of the operation has\n", round,
                        name.c_str(), now.size());
            ++failures;
            continue;
        }
        ++outcomes[name][state];
        if (test::exists(path + ".twtemp")) ++stale_temporaries;

        // The next operation succeeds, whatever the kill left behind.
        try {
            penmoor::ini w;
            w.LineEnds(mode);
            w.File(test::u16(path));
            if (w.updateSetting(u"Untouched", u"k", u"after a kill") != platform::True)
                throw std::runtime_error("False");
        } catch (const std::exception& e) {
            std::printf("round %d (%s): the next update failed: %s\n", round, name.c_str(), e.what());
            ++failures;
        }
        if (test::exists(path + ".twtemp")) {
            std::printf("round %d (%s): a temporary file remains after the next update\n", round,
                        name.c_str());
            ++failures;
        }
    }

    for (std::size_t c = 0; c < cases; ++c) {
        const auto& counts = outcomes[name_of(c)];
        auto count = [&](std::size_t state) {
            const auto found = counts.find(state);
            return found == counts.end() ? 0 : found->second;
        };
        std::printf("%-17s before %d after %d\n", name_of(c).c_str(), count(0), count(1));
    }
    std::printf("children killed before they ended: %d of %d\n", killed_midway, kills);
    std::printf("stale temporary files found after a kill and removed by the next update: %d\n",
                stale_temporaries);
    std::printf("failures: %d\n", failures);
    return failures == 0 ? 0 : 1;
}
