// Runs the built twhost as a user would, for tests of what it prints and how it ends.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "spawn.hpp"
#include "temp_dir.hpp"

namespace test {

struct outcome {
    int status = -1;  // the exit status, or -1 when the program died of a signal
    int signal = 0;
    std::string out, err;
};

// Runs twhost with the arguments in dir, standard output and error captured, with dir/registry as its
// registry and dir/system-registry as the system's, never the user's nor the machine's.
inline outcome run_twhost(const temp_dir& dir, const std::vector<std::string>& arguments) {
    const std::string out_file = dir / "stdout", err_file = dir / "stderr";
    const pid_t child = spawn(TARNWICK_TWHOST, arguments, dir.path(), out_file, err_file, [&] {
        return ::setenv("TARNWICK_REGISTRY", (dir / "registry").c_str(), 1) == 0 &&
                       ::setenv("TARNWICK_SYSTEM_REGISTRY", (dir / "system-registry").c_str(), 1) == 0
                   ? 0
                   : 127;
    });
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
