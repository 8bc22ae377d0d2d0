#include "tarnwick/files/replace.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

// Removes the copy when a failure ends the replacement.
class copy_guard {
  public:
    explicit copy_guard(const std::string& path) : path_(path) {}
    ~copy_guard() {
        if (!released_) sys::calls().unlink(path_.c_str());
    }
    copy_guard(const copy_guard&) = delete;
    copy_guard& operator=(const copy_guard&) = delete;
    // The copy is no longer this guard's to remove: renamed into place, or removed already.
    void release() { released_ = true; }

  private:
    const std::string& path_;
    bool released_ = false;
};

void remove_stale(const std::string& target, const std::string& temp) {
    if (sys::calls().unlink(temp.c_str()) == 0 || errno == ENOENT) return;
    if (errno == ENAMETOOLONG) {
        throw runtime_error(err::bad_file_name,
                            "the name of '" + target + "' is too long for its temporary copy '" + temp + "'");
    }
    throw_errno(errno, "delete", temp);
}

void take_ownership_and_mode(file& copy, const struct stat& original) {
    const struct stat made = copy.status();
    if ((made.st_uid != original.st_uid || made.st_gid != original.st_gid) &&
        sys::calls().fchown(copy.fd(), original.st_uid, original.st_gid) != 0) {
        const int e = errno;
        throw runtime_error(
            err::permission_denied,
            "cannot give the copy '" + copy.path() + "' the owner " + std::to_string(original.st_uid) +
                " and group " + std::to_string(original.st_gid) + " of the file it replaces (" +
                std::string(std::strerror(e)) + "): the edit would take the file away from its owner");
    }
    if (sys::calls().fchmod(copy.fd(), original.st_mode & 07777) != 0) {
        throw_errno(errno, "set the permissions of", copy.path());
    }
}

}  // namespace

bool replace_file(const std::string& target, const struct stat* original, const replacement& content,
                  mode_t new_mode) {
    const std::string temp = target + std::string(temporary_suffix);
    remove_stale(target, temp);
    std::optional<file> created = create_exclusive(temp, S_IRUSR | S_IWUSR);
    if (!created) throw_errno(EEXIST, "create", temp);
    copy_guard guard(temp);
    file copy = std::move(*created);
    if (!content.write(copy)) {
        // A copy that cannot be removed is reported like any other failure; the next replacement of
        // the file removes it.
        copy.close();
        guard.release();
        remove(temp);
        return false;
    }
    if (original) {
        take_ownership_and_mode(copy, *original);
    } else if (sys::calls().fchmod(copy.fd(), new_mode) != 0) {
        throw_errno(errno, "set the permissions of", temp);
    }
    copy.sync();
    copy.close();
    if (content.before_rename) content.before_rename();
    rename_over(temp, target);
    guard.release();
    sync_directory_of(target);
    return true;
}

}  // namespace platform
