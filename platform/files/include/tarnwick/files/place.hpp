// Where a file is: the directory that holds it, held open, and its name there.
//
// A path is resolved once, into a place: every symbolic link on the way, the last component included,
// is followed then, and the directory reached is opened. Everything done at a place afterwards (opening
// the file, locking it, creating its copy, renaming the copy over it, flushing the directory) goes
// through that directory's descriptor, so a directory renamed away or replaced by a link in the path
// meanwhile changes nothing about where it lands.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "tarnwick/files/file.hpp"

namespace platform {

class place {
  public:
    // Resolves path. The file itself need not exist, but its directory must (else run-time error 76);
    // a path that is a symbolic link leading nowhere is error 53, the empty path 52. Without follow_last,
    // a link that the path names is left as it is: the place is the link's own.
    static place of(const std::string& path, bool follow_last = true);

    place(place&&) noexcept = default;
    place& operator=(place&&) noexcept = default;

    // The directory, open as a place to look names up in.
    int directory() const noexcept { return directory_.fd(); }
    const std::string& name() const noexcept { return name_; }
    // The file's path for messages: as given, or where a link given leads.
    const std::string& path() const noexcept { return path_; }
    // The path for messages of another name in the same directory.
    std::string sibling(const std::string& name) const;
    // Whether the path given named the file through a symbolic link of its own.
    bool through_link() const noexcept { return through_link_; }

    // The status of what the name is now, not followed if a link; nothing when there is no entry.
    std::optional<struct stat> entry() const;
    // Opens the file the name leads to (never through a link there) with the given flags (O_RDONLY,
    // O_RDWR, ...), without waiting on a pipe or device; throws run-time error 75 unless it is a
    // regular file.
    file open(int flags) const;
    // Creates name exclusively, never through a link, open for reading and writing with mode `mode`;
    // nothing when something is there already.
    std::optional<file> create(const std::string& name, mode_t mode) const;
    // A file of no name beside the file, for content on its way (readable and writable by us alone): it
    // vanishes when closed.
    file scratch() const;
    // Deletes name in the directory; false with errno set when that fails.
    bool remove(const std::string& name) const noexcept;
    // Flushes the directory, so that a rename or creation in it is durable. Best effort: a directory we
    // may search but not read is not flushed.
    void sync() const noexcept;

  private:
    place() = default;
    file directory_;
    std::string name_;
    std::string path_;
    bool through_link_ = false;
};

}  // namespace platform
