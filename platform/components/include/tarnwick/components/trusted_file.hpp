// Files that choose the code a host runs (control libraries, the system's registry), opened only when
// nobody but the user or root could have put them where they are, and so that the file checked is the
// file then used.
#pragma once

#include <sys/stat.h>

#include <stdexcept>
#include <string>

#include "tarnwick/files/file.hpp"

namespace platform::component {

// Why open_trusted gave no file. what() says why without naming the path asked for, which the caller
// names: "the directory '/opt/x' is writable by others (mode 0777), who could replace the library with
// their code", "No such file or directory".
class trust_error : public std::runtime_error {
  public:
    trust_error(const std::string& why, bool refused, int errno_value = 0)
        : std::runtime_error(why), refused_(refused), errno_value_(errno_value) {}

    // The path leads somewhere someone else could have chosen: the file is refused.
    bool refused() const noexcept { return refused_; }
    // The system's error when a step of the walk failed (ENOENT: nothing there); 0 otherwise.
    int errno_value() const noexcept { return errno_value_; }

  private:
    bool refused_;
    int errno_value_;
};

struct trusted_file {
    file handle;         // open for reading, on the file that was checked
    std::string path;    // where it was found, every symbolic link resolved
    struct stat status;  // of the open file
};

// Opens the regular file at path (absolute, or relative to the working directory) for reading. The path
// is walked from "/" one entry at a time, each opened without following a link, relative to the directory
// opened before it, and checked on what was opened:
//  - every directory on the way, every symbolic link followed and the file itself belong to the user
//    (effective uid) or root;
//  - directories and the file are writable by neither group nor others, except a directory with the
//    sticky bit, where only an entry's owner may replace it (and every entry belongs to the user or root).
// A symbolic link is followed where it is met, from the directory that holds it (at most 40 of them), so
// whoever could re-point it is someone the walk has checked; nothing met can change what the walk opens
// next. A refusal ends in a trust_error whose text names the entry and the reason, followed by
// consequence ("who could replace the library with their code"); a failing step (no such file, not a
// directory, permission denied) in one carrying the system's error; a path that leads to anything but a
// regular file in one saying so.
trusted_file open_trusted(const std::string& path, const std::string& consequence);

}  // namespace platform::component
