#include "registry_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "tarnwick/components/trusted_file.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/lock.hpp"
#include "tarnwick/files/place.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform::registry {
namespace {

sys::table& os() {
    return sys::calls();
}

// Runs f, reporting a failure of the file layer as the registry's error, with the file layer's message:
// "Path not found: cannot create 'x/registry.twtemp' (No such file or directory)".
template <class F>
auto guarded(F f) {
    try {
        return f();
    } catch (const platform::runtime_error& e) {
        throw error(e.what());
    }
}

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Throws unless status, of path, is that of something nobody but the user or root can change: whoever
// else could would choose the libraries a host loads.
void require_trusted(const struct stat& status, const std::string& path, const char* what) {
    const std::string refusing = "refusing the registry " + std::string(what) + " '" + path + "': ";
    const char* because = ", who could make a host load their code";
    const uid_t user = ::geteuid();
    if (status.st_uid != user && status.st_uid != 0) {
        throw error(refusing + "it belongs to user " + std::to_string(status.st_uid) + ", not to you (user " +
                    std::to_string(user) + ") nor to root" + because);
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        throw error(refusing + "it is writable by " +
                    ((status.st_mode & S_IWOTH) != 0 ? "others" : "its group") + " (mode " +
                    octal(status.st_mode) + ")" + because);
    }
}

void require_trusted_directory(const std::string& directory) {
    const struct stat status = platform::status(directory);
    if (!S_ISDIR(status.st_mode)) {
        throw error("refusing the registry directory '" + directory + "': it is not a directory");
    }
    require_trusted(status, directory, "directory");
}

// Where the registry named file is: the name itself, or the file a symbolic link there leads to.
struct place {
    std::string path;       // never a symbolic link (while nobody else changes it)
    bool exists = false;    // something is there
    bool dangling = false;  // the name is a symbolic link that leads nowhere
};

place locate(const std::string& file) {
    const std::optional<struct stat> own = link_status(file);
    if (!own) return {file, false, false};
    if (!S_ISLNK(own->st_mode)) return {file, true, false};
    // Whoever may write the link's directory may re-point the link.
    require_trusted_directory(directory_of(file));
    struct stat target_status;
    if (os().stat(file.c_str(), &target_status) != 0) {
        if (errno == ENOENT) return {file, false, true};
        throw_errno(errno, "examine", file);
    }
    return {resolve(file), true, false};
}

// The trusted regular file at path, open for reading, and its status.
std::pair<file, struct stat> open_trusted(const std::string& path) {
    file f = open_regular(path, O_RDONLY | O_NOFOLLOW);
    const struct stat status = f.status();
    require_trusted(status, path, "file");
    require_trusted_directory(directory_of(path));
    return {std::move(f), status};
}

std::vector<entry> parse_file(file& f, const std::string& path) {
    buffer_lease buffer;
    line_reader lines(f, buffer.span(), line_ends::lf);
    return parse(lines, path);
}

}  // namespace

std::vector<entry> read_file(const std::string& file) {
    return guarded([&] {
        const place where = locate(file);
        if (!where.exists) return std::vector<entry>{};
        auto [f, status] = open_trusted(where.path);
        return parse_file(f, where.path);
    });
}

std::vector<entry> read_system_file(const std::string& path) {
    return guarded([&] {
        component::trusted_file found;
        try {
            found = component::open_trusted(path, "who could make a host load their code");
        } catch (const component::trust_error& e) {
            if (e.errno_value() == ENOENT) return std::vector<entry>{};
            throw error((e.refused() ? "refusing the registry file '" : "cannot read the registry '") + path +
                        "': " + e.what());
        }
        return parse_file(found.handle, path);
    });
}

void update_file(const std::string& file, const std::function<bool(std::vector<entry>&)>& change) {
    guarded([&] {
        const place where = locate(file);
        if (where.dangling) {
            throw error("cannot change the registry '" + file +
                        "': it is a symbolic link that leads nowhere (make its target, or remove the link)");
        }
        const std::string& target = where.path;
        const std::string directory = directory_of(target);
        if (!where.exists) make_directories(directory, 0700);
        require_trusted_directory(directory);
        // The lock is a file of its own, never taken through a link: one there could make the lock's
        // creation land anywhere.
        if (const auto lock_entry = link_status(target + ".lock");
            lock_entry && S_ISLNK(lock_entry->st_mode)) {
            throw error("refusing the registry's lock '" + target +
                        ".lock': it is a symbolic link, and the lock is never taken through one");
        }
        const locked_file lock(target + ".lock", true);

        // Read under the lock: what another registration wrote before it is kept.
        std::vector<entry> entries;
        std::optional<platform::file> original;
        if (link_status(target)) {
            auto [f, status] = open_trusted(target);
            entries = parse_file(f, target);
            original = std::move(f);
        }
        if (!change(entries)) return;
        replace_file(platform::place::of(target), original ? &*original : nullptr, serialise(entries), 0600);
    });
}

}  // namespace platform::registry
