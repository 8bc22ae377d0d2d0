// twini against crudini, as whole processes, with floors measured in the same run: cat for a get, a
// process that writes, flushes and renames the file (replace_floor) for an edit. twini runs twice in each
// row: with its own command line, and under the name crudini (the compat link beside it) with crudini's.
// Every process is started with posix_spawn, its standard output going to /dev/null, and timed from the spawn
// to the end of its wait; each row's entries run in a new random order in every repetition, so that a spell
// of load on the machine falls on all of them alike. Before each run that writes, the file is flushed outside
// the timing, so that a run never pays for the writes of the one before.
//
//   twini_bench [--brief] [--reps=N] [--big-reps=N] [--big-mb=N] [--no-crudini] [--table=FILE]
//
// --brief: a few runs on a small "big" file, for a smoke test. The table (Markdown) goes to standard
// output and to --table's file.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench_files.hpp"

extern char** environ;

namespace {

struct timing {
    double wall_ms, cpu_ms;
};

struct options {
    int reps = 31;
    int big_reps = 7;
    double big_mb = 5;
    bool crudini = true;
    std::string table;
};

[[noreturn]] void die(const std::string& message) {
    std::cerr << "twini_bench: " << message << "\n";
    std::exit(1);
}

// One run of argv, standard input from stdin_path, standard output to out_path.
timing run(const std::vector<std::string>& argv, const std::string& stdin_path = "/dev/null",
           const std::string& out_path = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) != 0)
        die("cannot start " + argv[0]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) die("cannot wait for " + argv[0]);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die(argv[0] + " failed (" + std::to_string(status) + ")");
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            ms(usage.ru_utime) + ms(usage.ru_stime)};
}

std::string output_of(const std::vector<std::string>& argv, const std::string& scratch) {
    run(argv, "/dev/null", scratch);
    std::ifstream in(scratch);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How to run an entry for the nth time: its arguments, and its standard input.
using command_of =
    std::function<std::pair<std::vector<std::string>, std::string>(const std::string& file, int n)>;

// An entry of a row, with a file of its own when the row writes.
struct entry {
    entry(std::string name_, command_of command_, bool floor_ = false, bool peer_ = false)
        : name(std::move(name_)), command(std::move(command_)), floor(floor_), peer(peer_) {}
    std::string name;
    command_of command;
    bool floor;  // the first floor of a row is the one its ratios are to; a second is shown too
    bool peer;
    std::string file{};
    std::vector<timing> runs{};
};

struct row {
    std::string title;
    bool writes;  // each entry's file is flushed before each of its runs
    int reps;
    std::vector<entry> entries;
    std::string source{};  // where set: each entry's file is made a copy of it again before each run
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string shown(double ms) {
    char text[32];
    if (ms >= 1000) {
        std::snprintf(text, sizeof text, "%.2f s", ms / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.2f ms", ms);
    }
    return text;
}

std::string ratio(double r) {
    char text[32];
    std::snprintf(text, sizeof text, r >= 100 ? "%.0f" : r >= 10 ? "%.1f" : "%.2f", r);
    return text;
}

void measure(row& r, std::mt19937& random, int& counter) {
    std::vector<std::size_t> order(r.entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (int rep = 0; rep < r.reps; ++rep) {
        std::shuffle(order.begin(), order.end(), random);
        for (const std::size_t i : order) {
            auto [argv, input] = r.entries[i].command(r.entries[i].file, ++counter);
            if (!r.source.empty()) {
                std::filesystem::copy_file(r.source, r.entries[i].file,
                                           std::filesystem::copy_options::overwrite_existing);
            }
            if (r.writes) bench::flush(r.entries[i].file);
            r.entries[i].runs.push_back(run(argv, input));
        }
    }
}

std::string table(const std::vector<row>& rows) {
    std::ostringstream out;
    out << "| operation / program | median | median CPU | runs | time / floor | crudini time / this |\n"
        << "|---|---:|---:|---:|---:|---:|\n";
    for (const row& r : rows) {
        out << "| **" << r.title << "** | | | | | |\n";
        double floor = 0, second_floor = 0, peer = 0;
        for (const entry& e : r.entries) {
            std::vector<double> wall;
            for (const timing& t : e.runs) wall.push_back(t.wall_ms);
            if (e.floor) (floor == 0 ? floor : second_floor) = median(wall);
            if (e.peer) peer = median(wall);
        }
        for (const entry& e : r.entries) {
            std::vector<double> wall, cpu;
            for (const timing& t : e.runs) {
                wall.push_back(t.wall_ms);
                cpu.push_back(t.cpu_ms);
            }
            const double m = median(wall);
            std::string to_floor = e.floor && m == floor ? "floor" : ratio(m / floor);
            if (second_floor > 0 && !e.floor) to_floor += " / " + ratio(m / second_floor);
            out << "| " << e.name << " | " << shown(m) << " | " << shown(median(cpu)) << " | "
                << e.runs.size() << " | " << to_floor << " | "
                << (peer > 0 && !e.peer && !e.floor ? ratio(peer / m) : "") << " |\n";
        }
    }
    return out.str();
}

std::string load() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void write_small(const std::string& path) {
    bench::write_all(path,
                     "[Paths]\nHome=/home/me\nTemp=/tmp\n[Window]\nLeft=10\nTop=20\nWidth=640\n"
                     "[Last]\nTarget=old\nOther=1\n");
}

// Sections of ten settings up to about `bytes`, then [Last] with Target=old.
void write_big(const std::string& path, std::size_t bytes) {
    std::ofstream out(path);
    std::size_t written = 0;
    for (int s = 0; written < bytes; ++s) {
        char line[64];
        written += static_cast<std::size_t>(std::snprintf(line, sizeof line, "[section%05d]\n", s));
        out << line;
        for (int k = 0; k < 10; ++k) {
            written +=
                static_cast<std::size_t>(std::snprintf(line, sizeof line, "key%d=value%d_%d\n", k, s, k));
            out << line;
        }
    }
    out << "[Last]\nTarget=old\nOther=1\n";
}

}  // namespace

int main(int argc, char** arguments) {
    options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = arguments[i];
        if (a == "--brief") {
            o.reps = 3;
            o.big_reps = 2;
            o.big_mb = 0.25;
        } else if (a.rfind("--reps=", 0) == 0) {
            o.reps = std::stoi(a.substr(7));
        } else if (a.rfind("--big-reps=", 0) == 0) {
            o.big_reps = std::stoi(a.substr(11));
        } else if (a.rfind("--big-mb=", 0) == 0) {
            o.big_mb = std::stod(a.substr(9));
        } else if (a == "--no-crudini") {
            o.crudini = false;
        } else if (a.rfind("--table=", 0) == 0) {
            o.table = a.substr(8);
        } else {
            die("unknown argument " + a);
        }
    }
    if (o.crudini && std::system("command -v crudini > /dev/null 2>&1") != 0) {
        std::cerr << "twini_bench: crudini is not installed: its entries are left out\n";
        o.crudini = false;
    }

    const std::string& dir = bench::scratch_dir();
    const std::string twini = TARNWICK_TWINI, floor = TARNWICK_REPLACE_FLOOR;
    const std::string compat = std::filesystem::path(twini).parent_path() / "compat" / "crudini";
    const std::string small = dir + "/small.ini", big = dir + "/big.ini", scratch = dir + "/out";
    write_small(small);
    write_big(big, static_cast<std::size_t>(o.big_mb * 1024 * 1024));
    const auto big_size = std::filesystem::file_size(big);

    // What each program prints for the same question must agree before anything is timed.
    for (const auto& file : {small, big}) {
        if (output_of({twini, "get", file, "Last", "Target"}, scratch) != "old\n") die("twini get is wrong");
        if (output_of({compat, "--get", file, "Last", "Target"}, scratch) != "old\n")
            die("twini as crudini: --get is wrong");
        if (o.crudini && output_of({"crudini", "--get", file, "Last", "Target"}, scratch) != "old\n") {
            die("crudini --get is wrong");
        }
    }

    auto value = [](int n) { return std::string("v").append(std::to_string(n)); };
    auto plain = [](std::vector<std::string> before, std::vector<std::string> after = {}) -> command_of {
        return [=](const std::string& file, int) {
            std::vector<std::string> argv = before;
            argv.push_back(file);
            argv.insert(argv.end(), after.begin(), after.end());
            return std::pair{argv, std::string("/dev/null")};
        };
    };
    auto set_one = [=](std::vector<std::string> before) -> command_of {
        return [=](const std::string& file, int n) {
            std::vector<std::string> argv = before;
            argv.insert(argv.end(), {file, "Last", "Target", value(n)});
            return std::pair{argv, std::string("/dev/null")};
        };
    };
    // Five settings of four sections, one of them new the first time.
    const std::vector<std::pair<std::string, std::string>> five{
        {"Last", "Target"}, {"Last", "Other"}, {"Paths", "Home"}, {"Window", "Left"}, {"New", "Key"}};
    const command_of twini_five = [=](const std::string& file, int n) {
        std::vector<std::string> argv{twini, file};
        for (const auto& [s, k] : five) argv.insert(argv.end(), {"--set", s, k, value(n)});
        return std::pair{argv, std::string("/dev/null")};
    };
    // A fragment of the first `count` of those settings, for a merge from standard input.
    auto merge_of = [=](std::vector<std::string> before, std::size_t count) -> command_of {
        return [=](const std::string& file, int n) {
            const std::string input = dir + "/merge.ini";
            std::ofstream merge(input);
            std::string section;
            for (std::size_t i = 0; i < count; ++i) {
                if (five[i].first != section) merge << "[" << (section = five[i].first) << "]\n";
                merge << five[i].second << "=" << value(n) << "\n";
            }
            std::vector<std::string> argv = before;
            argv.push_back(file);
            return std::pair{argv, input};
        };
    };
    const command_of crudini_five = merge_of({"crudini", "--merge"}, 5);

    int copies = 0;
    auto make_row = [&](const std::string& title, const std::string& source, bool writes, int reps,
                        std::vector<entry> entries) {
        row r{title, writes, reps, {}};
        for (entry& e : entries) {
            if (!o.crudini && e.peer) continue;
            e.file = source;
            if (writes) {
                e.file = dir + "/copy" + std::to_string(++copies) + ".ini";
                std::filesystem::copy_file(source, e.file);
            }
            r.entries.push_back(std::move(e));
        }
        return r;
    };
    auto get_row = [&](const std::string& title, const std::string& file, int reps) {
        return make_row(
            title, file, false, reps,
            {{"floor: cat FILE", plain({"cat"}), true},
             {"twini get FILE Last Target", plain({twini, "get"}, {"Last", "Target"})},
             {"twini as crudini: --get FILE Last Target", plain({compat, "--get"}, {"Last", "Target"})},
             {"crudini --get FILE Last Target", plain({"crudini", "--get"}, {"Last", "Target"}), false,
              true}});
    };
    const entry floor_entry{"floor: replace_floor FILE (write, fsync, rename, fsync of the directory)",
                            plain({floor}), true};
    const entry light_floor{"lighter floor: replace_floor --no-directory FILE (no fsync of the directory)",
                            plain({floor, "--no-directory"}), true};
    auto set_row = [&](const std::string& title, const std::string& file, int reps) {
        return make_row(
            title, file, true, reps,
            {floor_entry,
             light_floor,
             {"twini set FILE Last Target VALUE", set_one({twini, "set"})},
             {"twini as crudini: --set FILE Last Target VALUE", set_one({compat, "--set"})},
             {"crudini --set FILE Last Target VALUE", set_one({"crudini", "--set"}), false, true}});
    };
    auto five_row = [&](const std::string& title, const std::string& file, int reps) {
        return make_row(title, file, true, reps,
                        {floor_entry,
                         light_floor,
                         {"twini FILE --set S K VALUE (x5, one call)", twini_five},
                         {"twini as crudini: --merge FILE < five settings", merge_of({compat, "--merge"}, 5)},
                         {"crudini --merge FILE < five settings (one call)", crudini_five, false, true}});
    };

    // Deleting a key: the file is made again before each run, so that every run deletes it.
    auto del_row = [&](const std::string& title, const std::string& file, int reps) {
        row r = make_row(
            title, file, true, reps,
            {floor_entry,
             light_floor,
             {"twini del FILE Last Target", plain({twini, "del"}, {"Last", "Target"})},
             {"twini as crudini: --del FILE Last Target", plain({compat, "--del"}, {"Last", "Target"})},
             {"crudini --del FILE Last Target", plain({"crudini", "--del"}, {"Last", "Target"}), false,
              true}});
        r.source = file;
        return r;
    };
    auto three_row = [&](const std::string& title, const std::string& file, int reps) {
        return make_row(
            title, file, true, reps,
            {floor_entry,
             light_floor,
             {"twini merge FILE < three settings", merge_of({twini, "merge"}, 3)},
             {"twini as crudini: --merge FILE < three settings", merge_of({compat, "--merge"}, 3)},
             {"crudini --merge FILE < three settings", merge_of({"crudini", "--merge"}, 3), false, true}});
    };

    char big_title[96];
    std::snprintf(big_title, sizeof big_title, "%.1f MB file", static_cast<double>(big_size) / 1e6);
    std::vector<row> rows;
    rows.push_back(get_row("get, 10-line file", small, o.reps));
    rows.push_back(set_row("set, 10-line file", small, o.reps));
    rows.push_back(del_row("del, 10-line file", small, o.reps));
    rows.push_back(three_row("merge of three settings, 10-line file", small, o.reps));
    rows.push_back(five_row("five sets in one call, 10-line file", small, o.reps));
    rows.push_back(get_row(std::string("get, ") + big_title, big, o.big_reps));
    rows.push_back(set_row(std::string("set, ") + big_title, big, o.big_reps));
    rows.push_back(del_row(std::string("del, ") + big_title, big, o.big_reps));
    rows.push_back(three_row(std::string("merge of three settings, ") + big_title, big, o.big_reps));
    rows.push_back(five_row(std::string("five sets in one call, ") + big_title, big, o.big_reps));

    const std::string load_before = load();
    std::mt19937 random(20261208);
    int counter = 0;
    for (row& r : rows) {
        std::cerr << "twini_bench: " << r.title << "\n";
        measure(r, random, counter);
    }
    const std::string load_after = load();

    std::string text = table(rows);
    text +=
        "\nLoad average (1, 5, 15 min): " + load_before + " at the start, " + load_after + " at the end.\n";
    std::cout << text;
    if (!o.table.empty()) std::ofstream(o.table) << text;
    return 0;
}
