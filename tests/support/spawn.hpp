// Starting a built program as a user would: in a directory of its own, its output going to files.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace test {

// Starts program with the arguments in directory dir, standard output and error going to out_file and
// err_file; returns its process id. prepare() runs in the child just before the program starts (to set
// its environment, to become another user) and returns 0, or the status the child ends with instead.
template <class Prepare>
pid_t spawn(const char* program, const std::vector<std::string>& arguments, const std::string& dir,
            const std::string& out_file, const std::string& err_file, Prepare&& prepare) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(dir.c_str()) != 0) {
            ::_exit(127);
        }
        if (const int status = prepare(); status != 0) ::_exit(status);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    return child;
}

}  // namespace test
