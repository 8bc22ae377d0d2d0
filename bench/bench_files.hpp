// Files for the benchmarks, made once per run in a scratch directory.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// Paths and names in the benchmarks are ASCII: a byte for each UTF-16 unit.
inline std::u16string u16(const std::string& s) {
    return {s.begin(), s.end()};
}

// A directory for the run's files, removed at exit. Its name lives on the heap and is never freed, so
// that it is still there when the exit handler runs (a static string would be destroyed before it).
inline const std::string& scratch_dir() {
    static const std::string& dir = *[] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnwick-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        auto* name = new std::string(pattern);
        std::atexit([] { std::filesystem::remove_all(scratch_dir()); });
        return name;
    }();
    return dir;
}

inline void write_all(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        std::abort();
}

// Puts the file on the disk, as a file that was edited some time ago is.
inline void flush(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) std::abort();
    ::close(fd);
}

// An INI text of about `bytes` bytes: sections of ten settings each, CR LF line ends, then `tail`.
inline std::string ini_text(std::size_t bytes, const std::string& tail) {
    std::string text;
    text.reserve(bytes + tail.size() + 256);
    for (int section = 0; text.size() < bytes; ++section) {
        text += "[Section" + std::to_string(section) + "]\r\n";
        for (int k = 0; k < 10; ++k) {
            text += "Key" + std::to_string(k) + "=Some value of moderate length, " +
                    std::to_string(section * 10 + k) + "\r\n";
        }
    }
    return text + tail;
}

// Reads the whole file with read(2) through a buffer that is reused: the speed of the page cache.
inline std::size_t read_file_floor(const std::string& path, std::vector<char>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::size_t>(n);
    ::close(fd);
    return total;
}

}  // namespace bench
