#include "edit_file.hpp"

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "write_lock.hpp"

namespace penmoor {

namespace {

// The locked part of an edit: the pass, the replacement and the pass's codes.
outcome edit_locked(const std::string& path, copying how, const copy_pass& copy,
                    const std::function<void(std::int16_t)>& raise) {
    write_lock lock(path);
    outcome found;
    auto raise_all = [&] {
        for (const std::int16_t code : found.codes) raise(code);
    };
    const bool replaced = platform::replace_file(
        lock.target(), &lock.status(),
        {.write =
             [&](platform::file& temporary) {
                 platform::buffer_lease buffer;
                 platform::line_writer out = how == copying::bytes
                                                 ? platform::line_writer::exact(temporary, buffer.span())
                                                 : platform::line_writer(temporary, buffer.span());
                 found = copy(lock.file(), out);
                 if (found.change) out.flush();
                 return found.change;
             },
         .before_rename =
             [&] {
                 if (lock.status().st_nlink > 1) {
                     throw platform::runtime_error(
                         platform::err::permission_denied,
                         "'" + lock.target() + "' has " + std::to_string(lock.status().st_nlink) +
                             " hard links: replacing it would leave the other names with the old content");
                 }
                 raise_all();
             }});
    if (!replaced) raise_all();
    return found;
}

}  // namespace

platform::boolean edit(const std::string* path, std::initializer_list<std::int16_t> unbound, copying how,
                       const copy_pass& copy, const edit_events& raise) {
    if (path == nullptr) {
        for (const std::int16_t code : unbound) raise.State(code);
        raise.hasWrite();
        return platform::False;
    }
    const outcome done = edit_locked(*path, how, copy, raise.State);
    if (done.change) {
        for (int i = 0; i < done.deletions; ++i) raise.hasWrite();
    }
    raise.hasWrite();
    return done.change ? platform::True : platform::False;
}

}  // namespace penmoor
