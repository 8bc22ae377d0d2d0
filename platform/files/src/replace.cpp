#include "tarnwick/files/replace.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>

#include "tarnwick/files/sys.hpp"

namespace platform {
namespace {

// A name no other copy has had: the suffix and six letters or digits.
std::string fresh_name(const std::string& name) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::minstd_rand random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ (::getpid() << 16)));
    std::string fresh = name + std::string(temporary_suffix) + ".";
    for (int i = 0; i < 6; ++i) fresh += letters[random() % (sizeof letters - 1)];
    return fresh;
}

[[noreturn]] void too_long(const place& where, const std::string& name) {
    throw runtime_error(err::bad_file_name, "the name of '" + where.path() +
                                                "' is too long for its temporary copy '" +
                                                where.sibling(name) + "'");
}

// A file of several names would be split: the other names would keep the old content.
void refuse_hard_links(const place& where, const metadata& file) {
    if (file.status.st_nlink <= 1) return;
    throw runtime_error(err::permission_denied,
                        "'" + where.path() + "' has " + std::to_string(file.status.st_nlink) +
                            " hard links: replacing it would leave the other names with the old content");
}

}  // namespace

replacement::replacement(const place& where, file* original, mode_t new_mode)
    : where_(where), original_(original) {
    if (original_) {
        // Under the file's lock nobody else makes its copy: what is at <name>.twtemp is left over.
        name_ = where.name() + std::string(temporary_suffix);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                if (auto made = where.create(name_, S_IRUSR | S_IWUSR)) {
                    copy_ = std::move(*made);
                    return;
                }
            } catch (const runtime_error& e) {
                if (e.number() == err::bad_file_name) too_long(where, name_);
                throw;
            }
            if (!where.remove(name_)) break;  // not ours to delete: take a fresh name
        }
    }
    const mode_t mode = original_ ? S_IRUSR | S_IWUSR : new_mode;
    for (int attempt = 0;; ++attempt) {
        name_ = fresh_name(where.name());
        try {
            if (auto made = where.create(name_, mode)) {
                copy_ = std::move(*made);
                return;
            }
        } catch (const runtime_error& e) {
            if (e.number() == err::bad_file_name) too_long(where, name_);
            throw;
        }
        if (attempt == 100) throw_errno(EEXIST, "create", where.sibling(name_));
    }
}

replacement::~replacement() {
    if (named_) where_.remove(name_);
}

void replacement::seal() {
    if (original_) {
        given_ = metadata::of(*original_);
        refuse_hard_links(where_, *given_);
        give(copy_, *given_);
    }
    copy_.sync();
}

void replacement::publish() {
    if (original_) {
        const metadata now = metadata::of(*original_);
        refuse_hard_links(where_, now);
        if (!given_ || !now.kept_by(*given_)) {
            give(copy_, now);
            copy_.sync();
            given_ = now;
        }
        const auto entry = where_.entry();
        if (!entry || S_ISLNK(entry->st_mode) || entry->st_dev != now.status.st_dev ||
            entry->st_ino != now.status.st_ino) {
            throw file_moved(where_.path());
        }
    }
    const unsigned flags = original_ ? 0 : RENAME_NOREPLACE;
    if (sys::calls().renameat(where_.directory(), name_.c_str(), where_.directory(), where_.name().c_str(),
                              flags) != 0) {
        const int e = errno;
        if (e == EEXIST && !original_) throw file_moved(where_.path());
        throw_errno(e, "rename '" + where_.sibling(name_) + "' to", where_.path());
    }
    named_ = false;
    if (original_) settle_after_rename();
    copy_ = file();  // flushed already: closing it can report nothing that matters now
    where_.sync();
}

// Between the last look at the file and the rename, another process may have acted on it by its name:
// what it did to the replaced file is given to the copy now in its place, and a hard link it made puts
// the replaced file back (the edit is refused), rather than leave the two names apart.
void replacement::settle_after_rename() {
    // The change is made: a failure to look again is no failure of the change.
    metadata old;
    try {
        old = metadata::of(*original_);
    } catch (const runtime_error&) {
        return;
    }
    if (old.status.st_nlink > 0) {
        const std::string back = fresh_name(where_.name());
        const std::string self = "/proc/self/fd/" + std::to_string(original_->fd());
        const bool restored = sys::calls().linkat(AT_FDCWD, self.c_str(), where_.directory(), back.c_str(),
                                                  AT_SYMLINK_FOLLOW) == 0 &&
                              sys::calls().renameat(where_.directory(), back.c_str(), where_.directory(),
                                                    where_.name().c_str(), 0) == 0;
        if (!restored) where_.remove(back);
        throw runtime_error(err::permission_denied,
                            "'" + where_.path() +
                                "' was given another hard link while it was being changed: " +
                                (restored ? "the change is undone, since it would have left the other name "
                                            "with the old content"
                                          : "the other name keeps the old content"));
    }
    if (!old.kept_by(*given_)) {
        try {
            give(copy_, old);
            copy_.sync();
        } catch (const runtime_error&) {
        }
    }
}

void replacement::abandon() {
    copy_ = file();
    if (!named_) return;
    named_ = false;
    if (!where_.remove(name_)) throw_errno(errno, "delete", where_.sibling(name_));
}

void replace_file(const place& where, file* original, std::string_view content, mode_t new_mode) {
    replacement r(where, original, new_mode);
    r.copy().write_all(content.data(), content.size());
    r.seal();
    r.publish();
}

}  // namespace platform
