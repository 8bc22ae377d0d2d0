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

struct replacement {
    // Writes the new content into the copy. False abandons the copy at once: there is nothing to
    // change, so it is removed unflushed and the file is left as it is.
    std::function<bool(file& copy)> write;
    // Called once the copy is complete and on the device, just before it replaces the file. What it
    // throws abandons the copy.
    std::function<void()> before_rename = {};
};

// Replaces the regular file at target (no symbolic link: the caller resolves one) with new content:
//  1. delete a stale target.twtemp left by a call that failed or was killed;
//  2. create target.twtemp exclusively, never through a link, readable and writable by us alone;
//  3. write the content (or abandon, see replacement::write);
//  4. give the copy the owner and group of the file it replaces, then that file's mode, special bits
//     included (in this order, since a change of owner clears the set-id bits). A copy that cannot be
//     given the owner and group is refused with run-time error 70, since it would take the file away
//     from its owner. `original` is the status of the file as it is now, or null for a file that does
//     not exist yet, whose copy gets new_mode;
//  5. flush the copy to the device and close it (checked); call before_rename;
//  6. rename the copy over target, which replaces target atomically, then flush target's directory.
// On any failure the copy is deleted and target is byte for byte as before: it is never missing or
// partial, since the only step that touches it is the rename. Returns whether target was replaced.
bool replace_file(const std::string& target, const struct stat* original, const replacement& content,
                  mode_t new_mode = 0600);

}  // namespace platform
