// Fuzz inputs as files: an anonymous in-memory file, or a file in a scratch directory on tmpfs.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/file.hpp"

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

// A directory for the whole fuzzing run, on tmpfs when there is one.
inline const std::string& scratch_dir() {
    static const std::string dir = [] {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz-XXXXXX");
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return dir;
}

// Lines by the file rules: a line ends at CR LF or a lone CR; a final unterminated line counts.
inline std::vector<std::string> split_lines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            current += bytes[i];
            pending = true;
        }
    }
    if (pending) lines.push_back(std::move(current));
    return lines;
}

}  // namespace fuzz
