// The replace sequence: the one way a file is given new content, by the writer's edits and by the
// registry alike.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"

namespace platform {

// The suffix of the copy that takes a file's place.
inline constexpr std::string_view temporary_suffix = ".twtemp";

// The copy that is to take the place of the regular file at target (no symbolic link: the caller
// resolves one), written and then either put in the file's place or abandoned:
//  1. a stale target.twtemp, left by a call that failed or was killed, is deleted;
//  2. target.twtemp is created exclusively, never through a link, readable and writable by us alone;
//  3. the caller writes the new content into copy();
//  4. replace() gives the copy the owner and group of the file it replaces, then that file's mode,
//     special bits included (in this order, since a change of owner clears the set-id bits); a copy
//     that cannot be given the owner and group is refused with run-time error 70, since it would take
//     the file away from its owner. It flushes the copy to the device, closes it (checked), calls
//     before_rename, renames the copy over target, which replaces target atomically, and flushes
//     target's directory.
// On any failure, and when the copy is abandoned or destroyed before replace(), the copy is deleted and
// target is byte for byte as before: it is never missing or partial, since the only step that touches
// it is the rename.
class replacement_copy {
  public:
    explicit replacement_copy(const std::string& target);
    ~replacement_copy();
    replacement_copy(const replacement_copy&) = delete;
    replacement_copy& operator=(const replacement_copy&) = delete;

    file& copy() noexcept { return copy_; }
    // original: the status of target as it is now, or null for a file that does not exist yet, whose
    // copy stays readable and writable by us alone.
    void replace(const struct stat* original, const std::function<void()>& before_rename = {});
    // Deletes the copy, unflushed; a copy that cannot be deleted is reported (the next replacement of
    // the file deletes it).
    void abandon();
    // Takes the copy's name away and leaves it open, to be read as a file of no name; the copy no longer
    // replaces anything.
    file release_unnamed();

  private:
    std::string target_;
    std::string path_;
    file copy_;
    bool named_ = true;
};

// The whole sequence of replacement_copy: target's content becomes `content`.
void replace_file(const std::string& target, const struct stat* original, std::string_view content);

}  // namespace platform
