#include "transaction.hpp"

#include <fcntl.h>

namespace penmoor {

struct transaction::files {
    std::optional<platform::place> own;  // none for a missing file in a missing directory, read as empty
    std::optional<platform::locked_file> lock;
    platform::file opened;  // read only, or the empty stand-in of a missing file
    std::optional<platform::replacement> copy;
    platform::file latest;  // a batch: what its kept runs made
    platform::file next;    // a batch: what its last run made

    const platform::place& where() const { return lock ? lock->where() : *own; }
    platform::file* original() { return lock ? &lock->file() : nullptr; }
};

namespace {

bool directory_missing(const std::string& path) {
    return !platform::is_directory(platform::directory_of(path)) && !platform::link_status(path);
}

}  // namespace

transaction::transaction(const std::string& path, const platform::format& format, mode how, if_missing what)
    : format_(format), mode_(how), files_(std::make_unique<files>()) {
    if (how == mode::read) {
        // One open: a reading needs no place to put a copy in.
        try {
            files_->opened = platform::open_read(path);
        } catch (const platform::runtime_error& e) {
            const bool missing =
                e.number() == platform::err::file_not_found || e.number() == platform::err::path_not_found;
            if (!what.create || !missing) throw;
            files_->opened = platform::empty_file(path);
        }
        text_.emplace(static_cast<std::int16_t>(format.text), &current());
        return;
    }
    if (what.create && what.make_directories && directory_missing(path)) {
        platform::make_directories(platform::directory_of(path), 0700);
    }
    files_->own.emplace(platform::place::of(path));
    if (what.create && !files_->own->entry()) {
        files_->opened = files_->own->scratch();
    } else if (how != mode::read) {
        files_->lock.emplace(path);
    } else {
        files_->opened = files_->own->open(O_RDONLY);
    }
    text_.emplace(static_cast<std::int16_t>(format.text), &current());
}

transaction::~transaction() = default;

const platform::place& transaction::where() const noexcept {
    return files_->where();
}

platform::file& transaction::current() noexcept {
    if (files_->latest.is_open()) return files_->latest;
    return found();
}

platform::file& transaction::found() noexcept {
    return files_->lock ? files_->lock->file() : files_->opened;
}

platform::line_ends transaction::ends() {
    if (!ends_) ends_ = format_.ends_of(current());
    return *ends_;
}

void transaction::run(std::span<engine::stage* const> stages, bool copy, bool keeps_bytes) {
    const engine::pass_rules rules{format_.rules, ends(), keeps_bytes, text_->may_have_byte_order_mark(),
                                   format_.bare_keys};
    platform::file* out = nullptr;
    if (copy && mode_ == mode::edit) {
        files_->copy.emplace(where(), files_->original(), 0666);
        out = &files_->copy->copy();
    } else if (copy) {
        files_->next = where().scratch();
        out = &files_->next;
    }
    engine::pass p(current(), rules, out);
    p.run(stages);
}

void transaction::keep(bool yes) {
    if (mode_ == mode::batch) {
        if (yes && files_->next.is_open()) {
            files_->latest = std::move(files_->next);
            changed_ = true;
        }
        files_->next = platform::file();
        return;
    }
    if (!files_->copy) return;
    if (yes) {
        changed_ = true;
    } else {
        files_->copy->abandon();
        files_->copy.reset();
    }
}

void transaction::commit(const std::function<void()>& sealed) {
    if (!changed_) return;
    if (mode_ == mode::batch) {
        files_->copy.emplace(where(), files_->original(), 0666);
        files_->copy->copy().copy_from(files_->latest);
    }
    files_->copy->seal();
    if (sealed) sealed();
    files_->copy->publish();
    changed_ = false;
    files_->latest = platform::file();
    files_->copy.reset();
}

}  // namespace penmoor
