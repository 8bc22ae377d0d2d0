// Kills writers at random moments and checks what they leave behind.
//
// Each round resets a 1 MB file, lets a child process make one change to it, and kills the child with
// SIGKILL at a random moment. Every other change is one of the control's operations (penmoor::ini bound
// to the file); the others are one penmoor::ini_file batch of several sets and erases, committed as one.
// The file must then hold exactly the content before the change or the content after it: never missing,
// never partial, never half-way through a deletion of a whole section or through a batch, never with part
// of an appended section name of megabytes. A following update in this process, through the same
// interface, must succeed and leave no temporary file. Every change runs on the file with CR LF line ends
// and on the same file with LF line ends, as LineEnds 2 and line_ends::as_found find them.
//
// A kill lands anywhere from the fork to a little after the time a child takes to make the change to its
// end; the parent waits for that moment or for the child's end, whichever comes first.
//
//   crash_test [--kills N] [--seed S]
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "penmoor/ini.hpp"
#include "penmoor/ini_file.hpp"
#include "temp_dir.hpp"

namespace {

using clock_type = std::chrono::steady_clock;
using microseconds = std::chrono::duration<double, std::micro>;

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

// Changes all over the file: keys updated, added and erased in a section before the middle, in the
// middle and at the end, a section erased and a new one added.
void run_batch(const std::string& path) {
    penmoor::ini_file file(path);
    penmoor::ini_file::batch changes(file);
    changes.set("Section900", "Key0", "set by a batch")
        .set("Target", "Key3", "updated by a batch")
        .set("Target", "Added", "added by a batch")
        .erase("Target", "Key4")
        .erase("Section1700")
        .set("Section3599", "Key9", "the last key, set by a batch")
        .set("Batch", "New", "a section of its own");
    if (!changes.commit()) throw std::runtime_error("the batch changed nothing");
}

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

std::string lf_only(std::string text) {
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
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

// One change on one of the two files.
struct change {
    // Makes the change to the file at path; seen, when given, hears the control's events.
    using runner = std::function<void(const std::string& path, snapshots* seen)>;
    // The update that follows a kill, through the same interface.
    using follower = std::function<void(const std::string& path)>;

    change(std::string what, const std::string& before, runner make, follower then)
        : name(std::move(what)), start(&before), run(std::move(make)), next(std::move(then)) {}

    std::string name;
    const std::string* start;
    runner run;
    follower next;
    std::vector<std::string> states;  // before first
    microseconds usual{};             // how long a child takes from the fork to the change's end
};

std::vector<change> all_changes(const std::string (&starts)[2]) {
    const std::int16_t line_ends[] = {0, 2};
    std::vector<change> changes;
    for (int f = 0; f < 2; ++f) {
        const std::string suffix = f == 0 ? "" : " LF";
        const std::int16_t mode = line_ends[f];
        auto next = [mode](const std::string& path) {
            penmoor::ini w;
            w.LineEnds(mode);
            w.File(test::u16(path));
            if (w.updateSetting(u"Untouched", u"k", u"after a kill") != platform::True)
                throw std::runtime_error("False");
        };
        for (const operation& op : operations) {
            auto run = [&op, mode](const std::string& path, snapshots* seen) {
                penmoor::ini w;
                w.LineEnds(mode);
                w.File(test::u16(path));
                if (seen) w.connect(*seen);
                op.run(w);
            };
            changes.emplace_back(op.name + suffix, starts[f], run, next);
        }
    }
    for (int f = 0; f < 2; ++f) {
        changes.emplace_back(
            std::string("ini_file batch") + (f == 0 ? "" : " LF"), starts[f],
            [](const std::string& path, snapshots*) { run_batch(path); },
            [](const std::string& path) { penmoor::ini_file(path).set("Untouched", "k", "after a kill"); });
    }
    return changes;
}

[[noreturn]] void run_in_child(const change& c, const std::string& path) {
    try {
        c.run(path, nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s failed: %s\n", c.name.c_str(), e.what());
        ::_exit(1);
    }
    ::_exit(0);
}

// Runs the change to its end in this process: the states it passes through (every hasWrite of one
// operation sees the same file, the change's end).
bool learn_states(change& c, const std::string& path) {
    test::write_file(path, *c.start);
    snapshots seen(path);
    c.run(path, &seen);
    seen.states.push_back(test::read_file(path));
    c.states = {*c.start};
    for (auto& state : seen.states) {
        if (state != c.states.back()) c.states.push_back(std::move(state));
    }
    if (c.states.size() == 2) return true;
    std::printf("%s passes through %zu states, not before and after only\n", c.name.c_str(), c.states.size());
    return false;
}

// Runs the change to its end in children, for how long it takes from the fork to the child's end: the
// median of three runs, or one where that takes over a tenth of a second. Forks cost more as this
// process grows: time them once it holds all it will.
bool learn_time(change& c, const std::string& path) {
    std::vector<microseconds> runs;
    while (runs.size() < 3 && (runs.empty() || runs.front() < std::chrono::milliseconds(100))) {
        test::write_file(path, *c.start);
        const auto begin = clock_type::now();
        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return false;
        }
        if (child == 0) run_in_child(c, path);
        int status = 0;
        ::waitpid(child, &status, 0);
        runs.push_back(clock_type::now() - begin);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || test::read_file(path) != c.states[1]) {
            std::printf("%s does not end in a child as it does in this process\n", c.name.c_str());
            return false;
        }
    }
    std::sort(runs.begin(), runs.end());
    c.usual = runs[runs.size() / 2];
    return true;
}

// Waits until the child behind pidfd ends or the deadline passes; whether it ended.
bool ends_by(int pidfd, clock_type::time_point deadline) {
    for (;;) {
        const auto left = std::max(deadline - clock_type::now(), clock_type::duration::zero());
        const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd p{pidfd, POLLIN, 0};
        const int n = ::ppoll(&p, 1, &wait, nullptr);
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) throw std::runtime_error("ppoll failed");
    }
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
    std::fflush(stdout);
    std::mt19937 random(seed);
    test::temp_dir dir;
    const std::string path = dir / "app.ini";
    const std::string starts[2] = {start_content(), lf_only(start_content())};
    std::vector<change> changes = all_changes(starts);
    const std::size_t controls = 2 * std::size(operations), batches = changes.size() - controls;
    for (change& c : changes) {
        if (!learn_states(c, path)) return 1;
    }
    for (change& c : changes) {
        if (!learn_time(c, path)) return 1;
    }

    std::map<std::string, std::map<std::size_t, int>> outcomes;  // change -> state index -> count
    int stale_temporaries = 0, failures = 0, killed_midway = 0;
    for (int round = 0; round < kills; ++round) {
        // Every other round a batch of ini_file, the others the control's operations, each in turn.
        const std::size_t turn = static_cast<std::size_t>(round / 2);
        change& c = changes[round % 2 == 0 ? turn % controls : controls + turn % batches];
        test::write_file(path, *c.start);

        // Anywhere from the fork to a little after the change's end.
        const microseconds delay(std::uniform_real_distribution<double>(0, c.usual.count() * 1.2)(random));
        const auto begin = clock_type::now();
        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0) run_in_child(c, path);
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
        if (pidfd < 0) {
            std::perror("pidfd_open");
            return 1;
        }
        const auto deadline = begin + std::chrono::duration_cast<clock_type::duration>(delay);
        if (!ends_by(pidfd, deadline)) ::kill(child, SIGKILL);
        ::close(pidfd);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
            ++killed_midway;
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            // A sanitizer's report ends the child with SIGABRT; the child's own failure, with status 1.
            std::printf("round %d (%s): the child failed (wait status %#x)\n", round, c.name.c_str(), status);
            ++failures;
        }

        if (!test::exists(path)) {
            std::printf("round %d (%s): the file is missing\n", round, c.name.c_str());
            ++failures;
            continue;
        }
        const std::string now = test::read_file(path);
        std::size_t state = 0;
        while (state < c.states.size() && c.states[state] != now) ++state;
        if (state == c.states.size()) {
            std::printf("round %d (%s): the file holds %zu bytes that no state of the change has\n", round,
                        c.name.c_str(), now.size());
            ++failures;
            continue;
        }
        ++outcomes[c.name][state];
        if (test::exists(path + ".twtemp")) ++stale_temporaries;

        // The next update succeeds, whatever the kill left behind.
        try {
            c.next(path);
        } catch (const std::exception& e) {
            std::printf("round %d (%s): the next update failed: %s\n", round, c.name.c_str(), e.what());
            ++failures;
        }
        if (test::exists(path + ".twtemp")) {
            std::printf("round %d (%s): a temporary file remains after the next update\n", round,
                        c.name.c_str());
            ++failures;
        }
    }

    for (const change& c : changes) {
        const auto& counts = outcomes[c.name];
        auto count = [&](std::size_t state) {
            const auto found = counts.find(state);
            return found == counts.end() ? 0 : found->second;
        };
        std::printf("%-17s before %2d after %2d, a child runs it to its end in %.0f us\n", c.name.c_str(),
                    count(0), count(1), c.usual.count());
    }
    std::printf("children killed before they ended: %d of %d\n", killed_midway, kills);
    std::printf("stale temporary files found after a kill and removed by the next update: %d\n",
                stale_temporaries);
    std::printf("failures: %d\n", failures);
    return failures == 0 ? 0 : 1;
}
