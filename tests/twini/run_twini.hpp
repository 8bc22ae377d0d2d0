// Runs the built twini as a user of the shell would, for tests of what it prints, how it ends and what
// it leaves in the file.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "temp_dir.hpp"

namespace test {

struct twini_outcome {
    int status = -1;  // the exit status, or -1 when twini did not end normally
    std::string out, err;
};

struct twini_process {
    std::vector<std::string> arguments;
    std::optional<uid_t> user;  // run as this user (and group), from a process that may
    std::string out_path;       // where standard output goes; a file of dir's by default
};

// Starts twini in dir; returns its process id. Standard output and error go to dir/<tag>.out and .err.
inline pid_t start_twini(const temp_dir& dir, const twini_process& p, const std::string& tag) {
    const std::string out_file = p.out_path.empty() ? dir / (tag + ".out") : p.out_path;
    const std::string err_file = dir / (tag + ".err");
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(dir.path().c_str()) != 0) {
            ::_exit(127);
        }
        if (p.user && (::setgid(*p.user) != 0 || ::setuid(*p.user) != 0)) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(TARNWICK_TWINI)};
        for (const std::string& a : p.arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TARNWICK_TWINI, argv.data());
        ::_exit(127);
    }
    return child;
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
    return run_twini(dir, twini_process{arguments, std::nullopt, {}});
}

}  // namespace test
