// One reading or change of a file from its start to its end, the same for every door (the control's
// methods and batch, penmoor::ini_file, twini): the file opened, or locked for an edit before anything is
// looked at, its character set found when needed, the passes of the engine over it, and the new content
// sealed (complete, its metadata given, flushed) and published (put in the file's place by an atomic
// rename, platform/files/replace.hpp).
//
// A change of one run writes its copy straight into the copy that replaces the file. A batch's runs each
// write a file of no name, which the next run reads; its commit copies the last into the replacement.
// Where another program puts a file in the name's place meanwhile, commit throws platform::file_moved and
// nothing was changed: attempt() starts a change over from the lock on, with what the name leads to now.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "engine.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/lock.hpp"
#include "tarnwick/files/place.hpp"
#include "tarnwick/files/replace.hpp"
#include "text_set.hpp"

namespace penmoor {

// How a transaction takes a missing file.
struct if_missing {
    // It reads as empty, and the commit makes it (with a rename that never replaces a file that appeared
    // meanwhile: then file_moved); a missing directory reads as empty too.
    bool create = false;
    // An edit first makes the missing directories on the way to it (mode 0700, less the umask).
    bool make_directories = false;
};

class transaction {
  public:
    enum class mode : std::uint8_t {
        read,   // no lock, nothing written
        edit,   // one run that may change the file
        batch,  // runs that may each change what the next reads
    };

    // The file at path, read or locked.
    transaction(const std::string& path, const platform::format& format, mode how, if_missing what = {});
    ~transaction();
    transaction(const transaction&) = delete;
    transaction& operator=(const transaction&) = delete;

    const platform::format& format() const noexcept { return format_; }
    const platform::place& where() const noexcept;
    // The character set of the file's text (found in it when first asked, where the format says so).
    text_set& text() noexcept { return *text_; }
    // What the next run reads: the file, or what the batch's runs made of it.
    platform::file& current() noexcept;
    // The file as the transaction found it (a missing one's empty stand-in).
    platform::file& found() noexcept;
    // Where lines end in what the next run reads.
    platform::line_ends ends();

    // One pass of the stages over what is current. With copy (an edit, a batch), the pass writes what
    // they let through and make; keep() says whether that becomes what the file is to hold. keeps_bytes:
    // the stages change no byte of the lines they let through, so that the copy keeps the file's own
    // line ends.
    void run(std::span<engine::stage* const> stages, bool copy, bool keeps_bytes);
    // Keeps the copy of the last run as what the file is to hold, or drops it.
    void keep(bool yes);
    // Whether a run's copy was kept.
    bool changed() const noexcept { return changed_; }
    // Puts what was kept in the file's place, once, with one flush; sealed(), where given, runs once the
    // copy is complete and flushed, before it replaces the file. Nothing when nothing was kept.
    void commit(const std::function<void()>& sealed = {});

  private:
    struct files;
    platform::format format_;
    mode mode_;
    std::unique_ptr<files> files_;
    std::optional<text_set> text_;
    std::optional<platform::line_ends> ends_;
    bool changed_ = false;
};

// Runs change(t) on a fresh transaction until it ends without another program having replaced the file
// (platform::file_moved), and returns what it returns; restart(), where given, runs before each new try.
template <class Change>
auto attempt(const std::string& path, const platform::format& format, transaction::mode how, if_missing what,
             Change&& change, const std::function<void()>& restart = {}) {
    for (;;) {
        transaction t(path, format, how, what);
        try {
            return change(t);
        } catch (const platform::file_moved&) {
            if (restart) restart();
        }
    }
}

}  // namespace penmoor
