// The replace sequence: the one way a file is given new content, by the writer's edits and by the
// registry alike. Everything goes through the place (place.hpp) of the file: the directory resolved once.
//
//  1. A copy is created exclusively beside the file, never through a link, readable and writable by us
//     alone: <name>.twtemp when that name is free or holds a stale copy we may delete; otherwise (another
//     user's leftover in a sticky directory, a directory that lets nothing be deleted), a fresh name
//     <name>.twtemp.XXXXXX. A copy of a file that does not exist yet always takes a fresh name, since no
//     lock keeps two creators apart.
//  2. The caller writes the new content into copy().
//  3. seal() gives the copy the metadata of the file it is to replace (metadata.hpp: owner and group,
//     attributes and ACLs, mode) and flushes it to the device.
//  4. publish() reads the metadata of the file again, from its open descriptor: a file that has more
//     than one hard link now is refused (run-time error 70), since replacing it would leave the other
//     names with the old content; any other change since seal() (a chmod, a new attribute) is given to
//     the copy again, so an edit never undoes what another process did meanwhile. It checks that the name
//     still leads to that file (not followed if a link; for a new file, that nothing is there) and
//     renames the copy over the name in one step. What another process did by the file's name between
//     that last look and the rename is then settled: a change of metadata is given to the copy (flushed
//     again), and a hard link made to the replaced file puts it back in its place and refuses the edit
//     (70). Last, the copy is closed and the directory flushed. A name that no longer leads to
//     the file throws file_moved: the caller starts over.
// On any failure, and when the copy is abandoned or destroyed before publish(), the copy is deleted and
// the file is byte for byte as before: it is never missing or partial, since the only step that touches
// it is the rename.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/metadata.hpp"
#include "tarnwick/files/place.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace platform {

// The suffix of the copy that takes a file's place.
inline constexpr std::string_view temporary_suffix = ".twtemp";

// The name no longer leads to the file a replacement was made for: another program put something else
// there (or, for a new file, made one). Nothing was changed; the operation is to start over.
class file_moved : public runtime_error {
  public:
    explicit file_moved(const std::string& path)
        : runtime_error(err::path_file_access,
                        "'" + path + "' was replaced by another program while it was being changed") {}
};

class replacement {
  public:
    // A copy to replace the file at `where`. original: that file, open and locked by the caller; null for
    // a file that does not exist yet, which the copy then makes, with new_mode (less the umask).
    replacement(const place& where, file* original, mode_t new_mode = 0666);
    ~replacement();
    replacement(const replacement&) = delete;
    replacement& operator=(const replacement&) = delete;

    file& copy() noexcept { return copy_; }
    // Step 3.
    void seal();
    // Step 4.
    void publish();
    // Deletes the copy, unflushed; a copy that cannot be deleted is reported (the next replacement
    // deletes or avoids it).
    void abandon();

  private:
    void settle_after_rename();

    const place& where_;
    file* original_;
    std::string name_;  // the copy's name in the directory
    file copy_;
    std::optional<metadata> given_;
    bool named_ = true;
};

// The whole sequence: the file at `where` gets `content`. original as for replacement.
void replace_file(const place& where, file* original, std::string_view content, mode_t new_mode = 0666);

}  // namespace platform
