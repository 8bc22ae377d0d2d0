// Runs the built twini as a user of the shell would, for tests of what it prints, how it ends and what
// it leaves in the file.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "spawn.hpp"
#include "temp_dir.hpp"

namespace test {

struct twini_outcome {
    int status = -1;  // the exit status, or -1 when twini did not end normally
    std::string out, err;
};

struct twini_process {
    std::vector<std::string> arguments;
    std::optional<uid_t> user;              // run as this user (and group), from a process that may
    std::string out_path;                   // where standard output goes; a file of dir's by default
    std::optional<rlim_t> file_size_limit;  // the most bytes it may write into a file (ulimit -f)
};

// Starts twini in dir; returns its process id. Standard output and error go to dir/<tag>.out and .err.
inline pid_t start_twini(const temp_dir& dir, const twini_process& p, const std::string& tag) {
    const std::string out_file = p.out_path.empty() ? dir / (tag + ".out") : p.out_path;
    const std::string err_file = dir / (tag + ".err");
    return spawn(TARNWICK_TWINI, p.arguments, dir.path(), out_file, err_file, [&] {
        if (p.file_size_limit) {
            const rlimit limit{*p.file_size_limit, *p.file_size_limit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 126;
        }
        return p.user && (::setgid(*p.user) != 0 || ::setuid(*p.user) != 0) ? 126 : 0;
    });
}

inline twini_outcome finish_twini(const temp_dir& dir, pid_t child, const std::string& tag) {
    twini_outcome result;
    int status = 0;
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (test::exists(dir / (tag + ".out"))) result.out = read_file(dir / (tag + ".out"));
    result.err = read_file(dir / (tag + ".err"));
    return result;
}

inline twini_outcome run_twini(const temp_dir& dir, const twini_process& p) {
    return finish_twini(dir, start_twini(dir, p, "twini"), "twini");
}

inline twini_outcome run_twini(const temp_dir& dir, const std::vector<std::string>& arguments) {
    return run_twini(dir, twini_process{arguments, std::nullopt, {}, {}});
}

}  // namespace test
