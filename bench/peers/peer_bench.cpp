// Our two controls against the INI libraries a C++ program would otherwise use, all in one run:
// loading a full-capacity file and a 10-line file, looking settings up after a load, and changing one
// value of a 50 MB file and saving it. Python's configparser runs as a child process that times the
// same operations on the same files itself and prints its figures.
//
//   peer_bench [--reps=N] [--python=PROGRAM | --no-python] [--table=FILE] [Google Benchmark flags]
//
// Google Benchmark prints the medians as it goes; the table (Markdown, medians and ratios to ours)
// comes last, on standard output, and also in FILE when given.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "peer_files.hpp"
#include "peer_libs.hpp"

namespace {

// Shows the aggregates only, and files the time per operation of every repetition in the table.
class recorder : public benchmark::ConsoleReporter {
  public:
    explicit recorder(peers::table& t) : table_(t) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median" || run.aggregate_name == "cv") shown.push_back(run);
            } else if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
                failed = true;
            } else if (run.iterations > 0) {
                const double iterations = static_cast<double>(run.iterations);
                table_.record_wall(run.run_name.function_name, run.real_accumulated_time / iterations * 1e9);
                table_.record_cpu(run.run_name.function_name, run.cpu_accumulated_time / iterations * 1e9);
            }
        }
        if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
    }

    bool failed = false;

  private:
    peers::table& table_;
};

// Runs the configparser script and files its lines, "<row>/<id> wall|cpu <ns> <ns> ...".
bool run_python(const std::string& python, int repetitions, peers::table& t) {
    const peers::files& f = peers::get();
    const std::string reps = std::to_string(repetitions);
    std::vector<std::string> args{python,    PEER_SCRIPT, "--reps", reps,  "--full", f.full,
                                  "--small", f.small,     "--big",  f.big, "--work", f.big_work};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        std::fprintf(stderr, "peer_bench: cannot run %s: %s\n", python.c_str(), std::strerror(spawned));
        return false;
    }
    std::FILE* lines = ::fdopen(out[0], "r");
    char line[4096];
    while (std::fgets(line, sizeof line, lines)) {
        std::fputs(line, stderr);
        if (line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, kind;
        fields >> name >> kind;
        for (double ns; fields >> ns;) {
            if (kind == "wall") t.record_wall(name, ns);
            if (kind == "cpu") t.record_cpu(name, ns);
        }
    }
    std::fclose(lines);
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 7;
    std::string python = PEER_PYTHON;
    std::string table_file;
    bool interleaving_given = false, filter_given = false;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--reps=", 0) == 0) {
            repetitions = std::atoi(arg.c_str() + 7);
        } else if (arg.rfind("--python=", 0) == 0) {
            python = arg.substr(9);
        } else if (arg == "--no-python") {
            python.clear();
        } else if (arg.rfind("--table=", 0) == 0) {
            table_file = arg.substr(8);
        } else {
            if (arg.rfind("--benchmark_enable_random_interleaving", 0) == 0) interleaving_given = true;
            if (arg.rfind("--benchmark_filter", 0) == 0) filter_given = true;
            rest.push_back(argv[i]);
        }
    }
    // Repetitions of all entries run in a random order, so that a spell of load on the machine falls on
    // every entry alike rather than on whichever ran then.
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!interleaving_given) rest.push_back(interleave);
    if (repetitions < 1) {
        std::fprintf(stderr, "peer_bench: --reps must be at least 1\n");
        return 2;
    }
    int rest_count = static_cast<int>(rest.size());
    benchmark::Initialize(&rest_count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) return 2;

    peers::get();  // makes the files before anything is timed
    peers::table t;
    peers::register_reads(t, repetitions);
    peers::register_edits(t, repetitions);

    recorder reporter(t);
    if (filter_given) {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        // Loads and lookups run first, in a heap that has not yet held and freed the millions of small
        // blocks of a 50 MB file parsed into a peer's tables: what the edits leave behind in the
        // allocator is not for the small measurements to pay.
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(load|lookup)_");
        benchmark::RunSpecifiedBenchmarks(&reporter, "^edit_");
    }
    benchmark::Shutdown();

    bool ok = !reporter.failed;
    if (!python.empty() && !run_python(python, repetitions, t)) {
        std::fprintf(stderr, "peer_bench: the configparser script failed\n");
        ok = false;
    }

    std::printf("\n");
    t.print_markdown(stdout);
    if (!table_file.empty()) {
        std::FILE* out = std::fopen(table_file.c_str(), "w");
        if (!out) return 1;
        t.print_markdown(out);
        std::fclose(out);
    }
    return ok ? 0 : 1;
}
