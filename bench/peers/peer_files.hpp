// The files every library of the peer benchmark reads and edits, made once per run in the scratch
// directory. Names are chosen so that every peer takes them as they are: no "." (a path separator for
// Boost.PropertyTree), lower-case setting names (configparser folds them), no "%" (configparser's
// interpolation), no duplicates (configparser and Boost reject them).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_files.hpp"

namespace peers {

// The section and setting looked up after a load: the last section of the full file and its setting.
inline constexpr const char* kLastSection = "section10000";
inline constexpr const char* kLastKey = "key0";
inline constexpr const char* kMissingKey = "key9";
inline constexpr const char* kLastValue = "value 10000.0 of one setting, padded";

// The section and setting changed in the 50 MB file.
inline constexpr const char* kEditSection = "Last";
inline constexpr const char* kEditKey = "Target";

// The run's directory, removed at exit. Its name is kept in memory that is never freed, so that it is
// still there when the exit handler runs, after static objects are destroyed.
inline const std::string& scratch_dir() {
    static const std::string* const dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/peer-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        auto* made = new std::string(pattern);
        std::atexit([] { std::filesystem::remove_all(scratch_dir()); });
        return made;
    }();
    return *dir;
}

struct files {
    std::string full;      // 10,001 sections, 60,001 settings, CR LF
    std::string small;     // 10 lines
    std::string big;       // 50 MB, never changed: the content every edit starts from
    std::string big_work;  // the file an edit changes, restored from `big` before each edit
    std::size_t full_bytes = 0;
    std::size_t big_bytes = 0;
};

inline std::string full_text() {
    std::string text;
    text.reserve(3u << 20);
    char line[96];
    for (int section = 0; section <= 10000; ++section) {
        std::snprintf(line, sizeof line, "[section%05d]\r\n", section);
        text += line;
        const int settings = section == 10000 ? 1 : 6;  // 10,000 x 6 + 1 = 60,001
        for (int k = 0; k < settings; ++k) {
            std::snprintf(line, sizeof line, "key%d=value %05d.%d of one setting, padded\r\n", k, section, k);
            text += line;
        }
    }
    return text;
}

inline const files& get() {
    static const files f = [] {
        files made;
        const std::string dir = scratch_dir();
        made.full = dir + "/full.ini";
        const std::string full = full_text();
        bench::write_all(made.full, full);
        made.full_bytes = full.size();

        made.small = dir + "/small.ini";
        bench::write_all(made.small,
                         "[app]\r\nname=demo\r\nversion=1.2\r\n\r\n[paths]\r\nhome=/home/demo\r\n"
                         "data=/var/lib/demo\r\nlog=/var/log/demo.log\r\n[ui]\r\ntheme=dark\r\n");

        made.big = dir + "/big.ini";
        const std::string big = bench::ini_text(50u << 20, "[Last]\r\nTarget=old\r\n");
        bench::write_all(made.big, big);
        made.big_bytes = big.size();
        made.big_work = dir + "/big-work.ini";
        return made;
    }();
    return f;
}

// Copies the 50 MB file over the one an edit changes and flushes it to disk, so that every edit starts
// from the same bytes, in the page cache, with nothing left dirty for its own fsync to wait for.
inline void restore_big() {
    const files& f = get();
    const int in = ::open(f.big.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(f.big_work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0) std::abort();
    static char buffer[1 << 20];
    for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) {
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) std::abort();
    }
    if (::fsync(out) != 0 || ::close(out) != 0) std::abort();
    ::close(in);
    // The directory too: an edit that renames must not pay for the creation of the file it replaces.
    const int dir = ::open(scratch_dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
}

// Flushes a file that a peer has just saved, as a program would after the peer's save returns.
inline void fsync_path(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) std::abort();
    ::close(fd);
}

}  // namespace peers
