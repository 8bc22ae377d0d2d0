/// @file
/// The platform's run-time error: what a member raises for a failure it does not foresee.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

/// The platform layer shared by the controls: value types, run-time errors, the user-control surface.
namespace platform {

/// Run-time error numbers, as a late-binding host knows them.
namespace err {
inline constexpr int invalid_call = 5;          ///< Invalid procedure call or argument
inline constexpr int overflow = 6;              ///< Overflow
inline constexpr int out_of_memory = 7;         ///< Out of memory
inline constexpr int subscript = 9;             ///< Subscript out of range
inline constexpr int out_of_string_space = 14;  ///< Out of string space
inline constexpr int type_mismatch = 13;        ///< Type mismatch
inline constexpr int library_load = 48;         ///< Error in loading DLL
inline constexpr int bad_file_name = 52;        ///< Bad file name or number
inline constexpr int file_not_found = 53;       ///< File not found
inline constexpr int file_already_open = 55;    ///< File already open
inline constexpr int device_io = 57;            ///< Device I/O error
inline constexpr int file_exists = 58;          ///< File already exists
inline constexpr int disk_full = 61;            ///< Disk full
inline constexpr int too_many_files = 67;       ///< Too many files
inline constexpr int permission_denied = 70;    ///< Permission denied
inline constexpr int path_file_access = 75;     ///< Path/File access error
inline constexpr int path_not_found = 76;       ///< Path not found
inline constexpr int object_required = 424;     ///< Object required
inline constexpr int cannot_create = 429;       ///< Cannot create object
inline constexpr int no_member = 438;           ///< Object doesn't support this property or method
inline constexpr int automation = 440;          ///< Automation error
inline constexpr int wrong_arguments = 450;     ///< Wrong number of arguments or invalid property assignment
}  // namespace err

/// The standard description of a run-time error number ("File not found"), or "Application-defined or
/// object-defined error" for a number without one.
inline std::string_view describe(int number) noexcept {
    switch (number) {
        case err::invalid_call:
            return "Invalid procedure call or argument";
        case err::overflow:
            return "Overflow";
        case err::out_of_memory:
            return "Out of memory";
        case err::subscript:
            return "Subscript out of range";
        case err::out_of_string_space:
            return "Out of string space";
        case err::type_mismatch:
            return "Type mismatch";
        case err::library_load:
            return "Error in loading DLL";
        case err::bad_file_name:
            return "Bad file name or number";
        case err::file_not_found:
            return "File not found";
        case err::file_already_open:
            return "File already open";
        case err::device_io:
            return "Device I/O error";
        case err::file_exists:
            return "File already exists";
        case err::disk_full:
            return "Disk full";
        case err::too_many_files:
            return "Too many files";
        case err::permission_denied:
            return "Permission denied";
        case err::path_file_access:
            return "Path/File access error";
        case err::path_not_found:
            return "Path not found";
        case err::object_required:
            return "Object required";
        case err::cannot_create:
            return "Cannot create object";
        case err::no_member:
            return "Object doesn't support this property or method";
        case err::automation:
            return "Automation error";
        case err::wrong_arguments:
            return "Wrong number of arguments or invalid property assignment";
        default:
            return "Application-defined or object-defined error";
    }
}

/// The platform's run-time error: the exception that ends a member's call for a failure it does not
/// foresee. what() is the standard description, followed by the detail when there is one:
/// "Disk full: cannot write 'app.ini.twtemp' (No space left on device)".
class [[gnu::visibility("default")]] runtime_error : public std::runtime_error {
  public:
    /// The error of that number; detail, when given, follows the standard description in what().
    explicit runtime_error(int number, std::string_view detail = {})
        : std::runtime_error(compose(number, detail)), number_(number) {}

    /// The run-time error number: one of those in platform::err, e.g. 53 for "File not found".
    int number() const noexcept {
        return number_;
    }
    /// The detail given, without the standard description before it (empty when none was given).
    std::string_view detail() const noexcept {
        const std::string_view text = what();
        const std::size_t start = describe(number_).size() + 2;
        return text.size() > start ? text.substr(start) : std::string_view();
    }

  private:
    static std::string compose(int number, std::string_view detail) {
        std::string text(describe(number));
        if (!detail.empty()) {
            text += ": ";
            text += detail;
        }
        return text;
    }

    int number_;
};

}  // namespace platform
