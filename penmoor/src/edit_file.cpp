#include "edit_file.hpp"

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/replace.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "write_lock.hpp"

namespace penmoor {

outcome edit_file(const std::string& path, copying how, const copy_pass& copy,
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

}  // namespace penmoor
