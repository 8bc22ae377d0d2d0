#include "scratch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace twini {

scratch::scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/twini-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) platform::throw_errno(errno, "create", pattern);
    directory_ = name.data();
    path_ = directory_ + "/input.ini";
}

scratch::~scratch() {
    ::unlink(path_.c_str());
    ::rmdir(directory_.c_str());
}

int read_to_end(int fd, const std::function<void(std::string_view)>& each) {
    std::vector<char> chunk(platform::buffer_size(65536));
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        each(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
    }
}

void scratch::fill_from(int fd) {
    platform::file out(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600), path_);
    if (!out.is_open()) platform::throw_errno(errno, "create", path_);
    const int failed =
        read_to_end(fd, [&](std::string_view piece) { out.write_all(piece.data(), piece.size()); });
    if (failed != 0) platform::throw_errno(failed, "read", "standard input");
    out.close();
}

void scratch::fill_from(const std::string& source) {
    platform::file in = platform::open_read(source);
    platform::file out(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600), path_);
    if (!out.is_open()) platform::throw_errno(errno, "create", path_);
    out.copy_from(in);
    out.close();
}

bool scratch::print(int fd) const {
    platform::file in = platform::open_read(path_);
    std::vector<char> chunk(platform::buffer_size(65536));
    for (off_t at = 0;;) {
        const std::size_t n = in.read_at(chunk.data(), chunk.size(), at);
        if (n == 0) return true;
        if (!platform::write_all_to(fd, std::string_view(chunk.data(), n))) return false;
        at += static_cast<off_t>(n);
    }
}

std::string scratch::content() const {
    platform::file in = platform::open_read(path_);
    std::string all;
    std::vector<char> chunk(platform::buffer_size(65536));
    for (off_t at = 0;;) {
        const std::size_t n = in.read_at(chunk.data(), chunk.size(), at);
        if (n == 0) return all;
        all.append(chunk.data(), n);
        at += static_cast<off_t>(n);
    }
}

}  // namespace twini
