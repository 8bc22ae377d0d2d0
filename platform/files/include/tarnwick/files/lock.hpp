// The one way a file is locked for a change, by the writer's edits and by the registry alike: across
// instances, threads and processes.
//
// The path is resolved once into a place (place.hpp). The file there is opened for reading and writing
// without blocking: a change needs write permission on the file itself (else run-time error 70), and it
// must be a regular file (else 75). The lock is exclusive (flock) and waiting for it is bounded by
// lock_wait_limit; then error 70, naming a running process that holds a flock of the file where the
// system tells, else saying the holder is unknown (a POSIX lock never blocks a flock). Once locked,
// the name must still lead to the file, and a path that is a symbolic link must still lead to the same
// place: a writer we waited for may have replaced the file, or the link may have been re-pointed.
// Otherwise it starts over with what the path leads to now, so one file's content never lands in another.
//
// flock needs only read access: whoever may read a file can hold its lock and keep every change
// waiting, as a reader of a database can keep its writers waiting.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "tarnwick/files/file.hpp"
#include "tarnwick/files/place.hpp"

namespace platform {

// How long a change waits for another's lock.
extern std::chrono::milliseconds lock_wait_limit;

class locked_file {
  public:
    // Locks the file that path leads to. A file that this thread holds locked already (an event handler
    // starting a second change of it) is run-time error 55, raised before anything is looked at. With
    // create, path names a lock file of its own, made where missing (empty, mode 0600) and never taken
    // through a link.
    explicit locked_file(const std::string& path, bool create = false);
    ~locked_file();
    locked_file(const locked_file&) = delete;
    locked_file& operator=(const locked_file&) = delete;

    const place& where() const noexcept { return where_; }
    // The locked file, open for reading and writing.
    platform::file& file() noexcept { return file_; }
    // Its status once locked.
    const struct stat& status() const noexcept { return status_; }

  private:
    place where_;
    platform::file file_;
    struct stat status_ {};
};

}  // namespace platform
