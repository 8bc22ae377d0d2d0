#include "tarnwick/files/replace.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

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

replacement_copy::replacement_copy(const std::string& target)
    : target_(target), path_(target + std::string(temporary_suffix)) {
    remove_stale(target_, path_);
    std::optional<file> created = create_exclusive(path_, S_IRUSR | S_IWUSR);
    if (!created) throw_errno(EEXIST, "create", path_);
    copy_ = std::move(*created);
}

replacement_copy::~replacement_copy() {
    if (named_) sys::calls().unlink(path_.c_str());
}

void replacement_copy::replace(const struct stat* original, const std::function<void()>& before_rename) {
    if (original) {
        take_ownership_and_mode(copy_, *original);
    } else if (sys::calls().fchmod(copy_.fd(), S_IRUSR | S_IWUSR) != 0) {
        throw_errno(errno, "set the permissions of", path_);
    }
    copy_.sync();
    copy_.close();
    if (before_rename) before_rename();
    rename_over(path_, target_);
    named_ = false;
    sync_directory_of(target_);
}

void replacement_copy::abandon() {
    copy_.close();
    named_ = false;
    remove(path_);
}

file replacement_copy::release_unnamed() {
    remove(path_);
    named_ = false;
    return std::move(copy_);
}

void replace_file(const std::string& target, const struct stat* original, std::string_view content) {
    replacement_copy copy(target);
    copy.copy().write_all(content.data(), content.size());
    copy.replace(original);
}

}  // namespace platform
