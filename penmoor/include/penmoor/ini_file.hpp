/// @file
/// penmoor::ini_file: an INI file for C++ programs, in UTF-8.
///
/// @code
/// #include <penmoor/ini_file.hpp>
///
/// penmoor::ini_file settings("settings.ini");        // made by the first change when missing
/// settings.set("Window", "Width", 800);
/// settings.set("Window", "File", "/home/zoë/doc.txt");
/// int width = settings.get_or("Window", "Width", 640);
/// std::string file = settings.get_or("Window", "File", "");
/// @endcode
///
/// Every call reads the file afresh, once (read() takes all of it into memory at once, for many
/// answers: penmoor::ini_snapshot), and every change is one step: under the file's exclusive lock,
/// from the look to the write, the new content goes to a copy beside the file that replaces it by an
/// atomic rename, flushed to disk, keeping the file's owner, group, mode, extended attributes and ACLs;
/// lines the change does not touch keep their bytes. Whatever happens (a crash, a full disk, another
/// writer), the file is the old one or the new one, never partial. A batch makes several changes one.
///
/// By default the file is read as most INI files on Linux are written (the common dialect): blanks
/// around names and values are no part of them, lines starting with ";" or "#" are comments, a value
/// goes on over lines indented deeper than its key, the lines before the first header are the section
/// named "". Every occurrence of a section is the section, the last of two equal keys counts (in the
/// exact dialect, the first occurrence and the first key), and names are compared with case. Line ends and
/// the character set (UTF-8 or Windows-1252) are taken as the file has them; text is UTF-8 in and out.
#pragma once

#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "penmoor/values.hpp"
#include "tarnwick/version.h"

#ifndef PENMOOR_API
/// Exports a class of the library: its members are visible outside libpenmoor.so.
#define PENMOOR_API [[gnu::visibility("default")]]
#endif

namespace penmoor {

class ini_snapshot;
enum class malformed_lines : std::uint8_t;

/// How lines end, in the file read and in the lines written.
enum class line_ends : std::int16_t {
    crlf = 0,      ///< at CR LF or a lone CR (a lone LF stays in the line); lines written end with CR LF
    lf = 1,        ///< at a lone LF too; lines written end with LF
    as_found = 2,  ///< as the file's first line end says; LF for a file with none
};

/// The character set of the file's text.
enum class text_encoding : std::int16_t {
    windows_1252 = 0,  ///< every byte one character
    utf8 = 1,          ///< UTF-8; bytes that are not UTF-8 are kept as they are
    as_found = 2,  ///< UTF-8 where the file's bytes are valid UTF-8 (or there are none), else Windows-1252
};

/// How lines are told apart.
enum class ini_dialect : std::int16_t {
    exact = 0,   ///< the controls' own format: every character counts, no comments, no continuation lines
    common = 1,  ///< as most INI files on Linux are written (see the file's description above)
};

/// How an ini_file reads and writes its file.
struct file_options {
    penmoor::line_ends line_ends = penmoor::line_ends::as_found;  ///< where lines end
    text_encoding encoding = text_encoding::as_found;             ///< the character set
    ini_dialect dialect = ini_dialect::common;                    ///< how lines are told apart
    /// A missing file reads as empty (so does one whose directory is missing), and the first change makes
    /// it, with the missing directories on the way to it (mode 0700, less the umask); otherwise a missing
    /// file is error 53, and a missing directory error 76.
    bool create = true;
};

/// A failure: one of the run-time error numbers (5 text that the file cannot hold or that would not read
/// back, 53 no such file, 70 not permitted, 75 not a regular file, 76 no such directory, 61 disk full,
/// ...), the path of the file, and a message that names both and says what would help.
class PENMOOR_API error : public std::runtime_error {
  public:
    /// A failure of the file at path; message is what() says.
    error(int number, std::string path, const std::string& message);
    /// The run-time error number.
    int number() const noexcept { return number_; }
    /// The file's path, as given.
    const std::string& path() const noexcept { return path_; }

  private:
    int number_;
    std::string path_;
};

/// One INI file on disk, named by its path. Holds nothing of the file between calls: each call reads
/// it afresh. Not safe to share between threads without a lock of the caller's; separate objects (and
/// processes) of one file are safe: their changes are serialised by the file's lock.
class PENMOOR_API ini_file {
  public:
    /// The file at path (read and written only by the calls below); the empty path, and one that holds a
    /// NUL, is error 52.
    explicit ini_file(std::string path, file_options options = {});

    /// The path, as given.
    const std::string& path() const noexcept { return path_; }
    /// How the file is read and written.
    const file_options& options() const noexcept { return options_; }

    /// The value of the key's first line in the section, or nothing when the section or the key is
    /// missing. A value of several lines (the common dialect) comes joined by line feeds.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// The value, or fallback when there is none.
    std::string get_or(std::string_view section, std::string_view key, std::string_view fallback) const;
    /// The value, or fallback when there is none.
    std::string get_or(std::string_view section, std::string_view key, const char* fallback) const {
        return get_or(section, key, std::string_view(fallback));
    }
    /// The value as a number, or fallback when there is none or it is not all a finite number of that
    /// type (blanks and tabs around it aside).
    template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
    Number get_or(std::string_view section, std::string_view key, Number fallback) const {
        const auto text = get(section, key);
        return text ? values::to_number<Number>(*text).value_or(fallback) : fallback;
    }
    /// The value as a Boolean (values::to_bool: true, yes, on, 1, false, no, off, 0, in any case), or
    /// fallback when there is none or it is none of those.
    bool get_or(std::string_view section, std::string_view key, bool fallback) const {
        const auto text = get(section, key);
        return text ? values::to_bool(*text).value_or(fallback) : fallback;
    }
    /// Whether the section is there.
    bool contains(std::string_view section) const;
    /// Whether the key is there in the section.
    bool contains(std::string_view section, std::string_view key) const;
    /// The sections' names, each once, in the order of the file (the common dialect's "" first, when
    /// settings stand before the first header).
    std::vector<std::string> sections() const;
    /// The section's key names, each once, in the order of the file; none when it is missing.
    std::vector<std::string> keys(std::string_view section) const;
    /// The whole file, read now in one open and one read, whose answers (the same as this object's)
    /// come from memory; see penmoor::ini_snapshot. A missing file reads as empty where the options let
    /// the first change make it. Lines that are none of the dialect's are listed in its problems(), or
    /// with malformed_lines::refused are error 5 naming the first of them.
    /// @code
    /// const penmoor::ini_snapshot s = penmoor::ini_file("app.ini").read();
    /// int width = s.get_or("Window", "Width", 640);
    /// @endcode
    ini_snapshot read() const;
    /// As read(), with what to do with malformed lines.
    ini_snapshot read(malformed_lines malformed) const;

    /// Sets the key: changes the value of its first line where it differs, or adds it to the section
    /// (after its last line), or the section too (at the end of the file). In the common dialect a value
    /// of several lines (joined by line feeds, as get() gives one) goes on continuation lines. Text that
    /// the file cannot hold, or that would not read back as itself (a CR; a line feed in a name, or in a
    /// value where the dialect has no continuation lines and LF ends lines; a key holding "=" or beginning
    /// with "["; in the common dialect blanks around a key or value), is error 5, before the file is
    /// touched; so is an edit that would change what the file says elsewhere (the rules are the same at
    /// every door of the library: the README lists them).
    void set(std::string_view section, std::string_view key, std::string_view value);
    /// As set() of a string.
    void set(std::string_view section, std::string_view key, const char* value) {
        set(section, key, std::string_view(value));
    }
    /// Sets the key to a number, written in its shortest form.
    template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
    void set(std::string_view section, std::string_view key, Number value) {
        set(section, key, std::string_view(values::number_text(value)));
    }
    /// Sets the key to a Boolean, written "true" or "false".
    /// @code
    /// file.set("Window", "Maximized", true);  // Maximized=true
    /// @endcode
    void set(std::string_view section, std::string_view key, bool value) {
        set(section, key, values::bool_text(value));
    }
    /// Sets the key to a list: its items joined by the separator (values::list_text), which get_list()
    /// of a snapshot reads back as the same items. An item that holds the separator or has blanks at
    /// either end is error 5, before the file is touched.
    /// @code
    /// file.set_list("Files", "Recent", {"a.txt", "b.txt"});  // Recent=a.txt;b.txt
    /// @endcode
    void set_list(std::string_view section, std::string_view key, const std::vector<std::string>& items,
                  char separator = ';');
    /// Deletes every line of the key in the section; false when there was none. A deletion that would
    /// join the line after it to the value of the key before it is error 5.
    bool erase(std::string_view section, std::string_view key);
    /// Deletes the section, every occurrence of it; false when there was none. A deletion that would give
    /// another section's later keys to its first part is error 5.
    bool erase(std::string_view section);

    /// Several changes as one: recorded by the batch, then made at commit(), in order, in one read and
    /// one replacement of the file, each seeing what the ones before made. A batch destroyed without
    /// commit() changes nothing.
    class PENMOOR_API batch {
      public:
        /// A batch of changes to file, none made yet.
        explicit batch(ini_file& file);
        ~batch();
        batch(const batch&) = delete;
        batch& operator=(const batch&) = delete;

        /// As ini_file::set(), when committed; its text is checked now (error 5).
        batch& set(std::string_view section, std::string_view key, std::string_view value);
        /// As set() of a string.
        batch& set(std::string_view section, std::string_view key, const char* value) {
            return set(section, key, std::string_view(value));
        }
        /// As ini_file::set() of a number, when committed.
        template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
        batch& set(std::string_view section, std::string_view key, Number value) {
            return set(section, key, std::string_view(values::number_text(value)));
        }
        /// As ini_file::set() of a Boolean, when committed.
        batch& set(std::string_view section, std::string_view key, bool value) {
            return set(section, key, values::bool_text(value));
        }
        /// As ini_file::set_list(), when committed; its items and text are checked now (error 5).
        batch& set_list(std::string_view section, std::string_view key, const std::vector<std::string>& items,
                        char separator = ';');
        /// As ini_file::erase(section, key), when committed.
        batch& erase(std::string_view section, std::string_view key);
        /// As ini_file::erase(section), when committed.
        batch& erase(std::string_view section);
        /// Makes the changes; whether the file changed. The changes are then done with; where commit()
        /// fails (error), they stay recorded, and another commit() tries them again.
        bool commit();

      private:
        struct change;
        ini_file& file_;
        std::vector<change> changes_;
    };

  private:
    std::string path_;
    file_options options_;
};

}  // namespace penmoor

// The snapshot that read() gives.
#include "penmoor/ini_text.hpp"
