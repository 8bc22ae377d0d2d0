// penmoor::ini_snapshot: a file read whole in one open and one read, and what tells whether it changed.
#include <sys/stat.h>

#include <ctime>
#include <functional>

#include "penmoor/ini_text.hpp"
#include "program_errors.hpp"
#include "tarnwick/files/file.hpp"

namespace penmoor {
namespace {

// A file changed within this long before it was read may have changed again since without its times
// showing it (they are as coarse as the file system's clock): its bytes tell then.
constexpr std::int64_t coarse_ns = 2'000'000'000;

std::int64_t ns_of(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t now_ns() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return ns_of(t);
}

file_stamp stamp_of(const struct stat& st) {
    return {true,
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            ns_of(st.st_mtim),
            ns_of(st.st_ctim)};
}

struct loaded {
    std::string bytes;
    file_stamp stamp;
};

// The file's bytes and where it stood; a missing file (or directory) as empty where create says so.
loaded load(const std::string& path, bool create) {
    platform::file f;
    try {
        f = platform::open_read(path);
    } catch (const platform::runtime_error& e) {
        const bool missing =
            e.number() == platform::err::file_not_found || e.number() == platform::err::path_not_found;
        if (!create || !missing) throw;
        return {};
    }
    const struct stat st = f.status();
    loaded l{platform::read_rest(f, static_cast<std::size_t>(st.st_size)), stamp_of(st)};
    return l;
}

std::size_t hash_of(const std::string& bytes) {
    return std::hash<std::string>{}(bytes);
}

}  // namespace

ini_snapshot::ini_snapshot(const std::string& path, const file_options& options, malformed_lines malformed)
    : path_(path) {
    loaded l = program::guarded(path, options, [&] { return load(path, options.create); });
    read_ns_ = now_ns();
    stamp_ = l.stamp;
    hash_ = hash_of(l.bytes);
    take(l.bytes, options, malformed, path);
}

file_stamp file_stamp::of(const std::string& path) {
    return program::guarded(path, {}, [&] {
        try {
            return stamp_of(platform::status(path));
        } catch (const platform::runtime_error& e) {
            if (e.number() == platform::err::file_not_found || e.number() == platform::err::path_not_found)
                return file_stamp{};
            throw;
        }
    });
}

bool ini_snapshot::changed() const {
    file_stamp now;
    try {
        now = file_stamp::of(path_);
    } catch (const error&) {
        return true;  // reading it again tells why
    }
    if (now != stamp_) return true;
    if (!stamp_.exists) return false;
    if (read_ns_ - stamp_.modified_ns >= coarse_ns && read_ns_ - stamp_.changed_ns >= coarse_ns) return false;
    try {
        const std::int64_t checked = now_ns();
        if (hash_of(load(path_, false).bytes) != hash_) return true;
        read_ns_ = checked;  // a later change moves the times, once they are this old
        return false;
    } catch (const platform::runtime_error&) {
        return true;
    }
}

ini_snapshot ini_file::read() const {
    return ini_snapshot(path_, options_);
}

ini_snapshot ini_file::read(malformed_lines malformed) const {
    return ini_snapshot(path_, options_, malformed);
}

}  // namespace penmoor
