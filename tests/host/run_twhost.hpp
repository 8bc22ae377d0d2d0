// Runs the built twhost as a user would, for tests of what it prints and how it ends.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "temp_dir.hpp"

namespace test {

struct outcome {
    int status = -1;  // the exit status, or -1 when the program died of a signal
    int signal = 0;
    std::string out, err;
};

// Runs twhost with the arguments in dir, standard output and error captured, with dir/registry as its
// registry, never the user's.
inline outcome run_twhost(const temp_dir& dir, const std::vector<std::string>& arguments) {
    const std::string out_file = dir / "stdout", err_file = dir / "stderr";
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(dir.path().c_str()) != 0) {
            ::_exit(127);
        }
        ::setenv("TARNWICK_REGISTRY", (dir / "registry").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(TARNWICK_TWHOST)};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TARNWICK_TWHOST, argv.data());
        ::_exit(127);
    }
    outcome result;
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = read_file(out_file);
    result.err = read_file(err_file);
    return result;
}

}  // namespace test
