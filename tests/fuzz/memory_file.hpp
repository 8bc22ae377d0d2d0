// Fuzz inputs as files: an anonymous in-memory file, or a file in a scratch directory on tmpfs.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"

namespace fuzz {

// An open file holding bytes, positioned at its start, named by /proc/self/fd/N.
inline platform::file memory_file(std::string_view bytes) {
    const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::abort();
        done += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return platform::file(fd, "/proc/self/fd/" + std::to_string(fd));
}

// A directory for the whole fuzzing run, on tmpfs when there is one, removed with what is in it when
// the run ends. Its name lives on the heap and is never freed, so that it is still there when the exit
// handler runs (a static string would be destroyed before it).
inline const std::string& scratch_dir() {
    static const std::string& dir = *[] {
        std::string pattern =
            (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz-XXXXXX");
        if (!::mkdtemp(pattern.data())) std::abort();
        auto* name = new std::string(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch_dir(), ignored);
        });
        return name;
    }();
    return dir;
}

}  // namespace fuzz
