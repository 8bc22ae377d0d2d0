#include "program_errors.hpp"

namespace penmoor::program {
namespace {

// What would help, for the errors a program meets most.
std::string hint(int number, const file_options& o, std::string_view detail) {
    switch (number) {
        case platform::err::file_not_found:
            if (detail.find("symbolic link") != std::string_view::npos) return " (the link leads to no file)";
            return o.create ? "" : " (file_options::create lets the first change make it)";
        case platform::err::path_not_found:
            return o.create ? "" : " (file_options::create makes it and its directories on the first change)";
        case platform::err::permission_denied:
            return " (the file must be writable by this user, and no other process may hold its lock for "
                   "long)";
        case platform::err::disk_full:
            return " (free some space; the file is as it was)";
        default:
            return "";
    }
}

}  // namespace

[[noreturn]] void fail(const std::string& path, const file_options& o, int number, std::string_view detail) {
    throw error(number, path,
                path + ": " + std::string(platform::describe(number)) + ": " + std::string(detail) +
                    hint(number, o, detail));
}

}  // namespace penmoor::program
