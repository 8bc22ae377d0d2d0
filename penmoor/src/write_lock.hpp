// The lock an edit holds on its file, from before its lookups to the end, across instances, threads
// and processes.
//
// The bound path is resolved once: a symbolic link leads to the file it points to, which is the one
// locked, read and replaced. That file is opened for reading and writing without blocking: an edit
// needs write permission on the file itself (else run-time error 70), and it must be a regular file
// (else 75). The lock is exclusive (flock) and waiting for it is bounded by lock_wait_limit (then 70).
// Once locked, the file must still be the one the path leads to: a writer we waited for may have
// replaced it, or the link may have been re-pointed. Otherwise the edit starts over with the file the
// path leads to now, so one file's content never lands in another.
#pragma once

#include <chrono>
#include <string>

#include "tarnwick/files/file.hpp"

namespace penmoor {

extern std::chrono::milliseconds lock_wait_limit;

class write_lock {
  public:
    // Locks the file that path leads to. A file that this thread is editing already (an event handler
    // starting a second edit of it) is run-time error 55, raised before anything is looked at.
    explicit write_lock(const std::string& path);
    ~write_lock();
    write_lock(const write_lock&) = delete;
    write_lock& operator=(const write_lock&) = delete;

    // The locked file, open for reading and writing; its path (no symbolic link); its status as seen
    // once locked.
    platform::file& file() noexcept { return file_; }
    const std::string& target() const noexcept { return target_; }
    const struct stat& status() const noexcept { return status_; }

  private:
    platform::file file_;
    std::string target_;
    struct stat status_ {};
};

}  // namespace penmoor
