#include "rewrite.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/buffer_pool.hpp"
#include "platform/file.hpp"
#include "platform/line_reader.hpp"
#include "platform/runtime_error.hpp"
#include "platform/sys.hpp"
#include "write_lock.hpp"

namespace penmoor {
namespace {

// The file that receives the new content: the path itself, or the file a symbolic link at the path
// leads to, so that the link stays a link.
std::string replaced_file(const std::string& path) {
    const auto entry = platform::link_status(path);
    if (!entry || !S_ISLNK(entry->st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) platform::throw_errno(errno, "resolve", path);
    return resolved.get();
}

// Removes the temporary file when a failure ends the rewrite.
class temporary {
public:
    explicit temporary(std::string path) : path_(std::move(path)) {}
    ~temporary() {
        if (!released_) platform::sys::calls().unlink(path_.c_str());
    }
    temporary(const temporary&) = delete;
    temporary& operator=(const temporary&) = delete;
    // The file is no longer this guard's to remove: renamed into place, or removed already.
    void release() { released_ = true; }

private:
    std::string path_;
    bool released_ = false;
};

}  // namespace

// The sequence, for bound path P and T = P (or the file that P links to):
//  1. open P and lock it (write_lock: a writer that waited re-opens the file now at P);
//  2. delete a stale T.twtemp left by a call that failed or was killed;
//  3. create T.twtemp exclusively, never through a link, with T's permission bits and owner;
//  4. copy P through the rule, flush the copy to the device, close it;
//  5. ask the rule whether to go on; if not, delete the copy and leave T as it was;
//  6. rename the copy over T, which replaces T atomically, then flush T's directory.
// On any failure the copy is deleted and T is byte for byte as before: it is never missing or partial,
// since the only step that touches it is the rename.
bool rewrite(const std::string& path, copy_rule& rule, rewrite_options options) {
    write_lock lock(path, write_lock::mode::read);
    const std::string target = replaced_file(path);
    const std::string temp_path = target + ".twtemp";
    platform::remove_if_exists(temp_path);

    std::optional<platform::file> created = platform::create_exclusive(temp_path, S_IRUSR | S_IWUSR);
    if (!created) platform::throw_errno(EEXIST, "create", temp_path);
    temporary temp(temp_path);
    platform::file copy = std::move(*created);
    const struct stat& original = lock.status();
    if (platform::sys::calls().fchmod(copy.fd(), original.st_mode & 07777) != 0) {
        platform::throw_errno(errno, "set the permissions of", temp_path);
    }
    // Keeping the owner needs privileges a user may lack; the copy then belongs to the user.
    platform::sys::calls().fchown(copy.fd(), original.st_uid, original.st_gid);

    {
        platform::buffer_lease in_buffer;
        platform::buffer_lease out_buffer;
        platform::line_reader in(lock.file(), in_buffer.span());
        platform::line_writer out(copy, out_buffer.span());
        if (options.leading_break) out.write_line("\r\n");
        for (std::string_view line;;) {
            const auto passage = rule.passing();
            if (passage.what == copy_rule::passage::rest) {
                in.skip_rest(out);
                break;
            }
            if (passage.what == copy_rule::passage::until) {
                if (!in.skip_to(passage.line, &out)) break;
                rule.line(passage.line, out);
                continue;
            }
            if (!in.next(line)) break;
            rule.line(line, out);
        }
        out.flush();
    }
    copy.sync();
    copy.close();

    if (!rule.finish()) {
        // Nothing to change: the copy goes, and a copy that cannot be removed is reported like any other
        // failure (the next rewrite would remove it).
        platform::remove(temp_path);
        temp.release();
        return false;
    }
    platform::rename_over(temp_path, target);
    temp.release();
    platform::sync_directory_of(target);
    return true;
}

void append(const std::string& path, std::string_view text) {
    write_lock lock(path, write_lock::mode::append);
    platform::file& f = lock.file();
    const off_t old_size = lock.status().st_size;
    try {
        f.write_all(text.data(), text.size());
        f.sync();
    } catch (...) {
        // Best effort: take back what part of the text reached the file.
        if (::ftruncate(f.fd(), old_size) == 0) ::fsync(f.fd());
        throw;
    }
    f.close();
}

}  // namespace penmoor
