// Serialises the writers of one file, across instances, threads and processes.
//
// Appends and rewrites hold an exclusive advisory lock (flock) on the bound file for their whole
// duration. A writer that had to wait may find that the file it opened was replaced by a rename in the
// meantime; it then opens the file now at the path and tries again, so it always works on the current
// content. Waiting is bounded by lock_wait_limit.
#pragma once

#include <chrono>
#include <string>

#include "platform/file.hpp"

namespace penmoor {

// How long a writer waits for another to finish before giving up with run-time error 70.
extern std::chrono::milliseconds lock_wait_limit;

class write_lock {
public:
    enum class mode { read, append };

    // Opens path and locks the file. A file that this thread is already rewriting or appending to (an
    // event handler starting a second edit of it) is run-time error 55, raised before anything changes.
    write_lock(const std::string& path, mode how);
    ~write_lock();
    write_lock(const write_lock&) = delete;
    write_lock& operator=(const write_lock&) = delete;

    // The locked file, open for reading or appending; its status as seen once locked.
    platform::file& file() noexcept { return file_; }
    const struct stat& status() const noexcept { return status_; }

private:
    platform::file file_;
    struct stat status_ {};
};

}  // namespace penmoor
