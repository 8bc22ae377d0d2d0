/// @file
/// penmoor::ini_text and penmoor::ini_snapshot: INI text read once, into memory, and answered from there.
///
/// @code
/// #include <penmoor/ini_file.hpp>
///
/// const penmoor::ini_snapshot s = penmoor::ini_file("settings.ini").read();  // one open, one read
/// int width = s.get_or("Window", "Width", 640);
/// bool full = s.get_or("Window", "Fullscreen", false);
/// std::vector<std::string> recent = s.get_list("Files", "Recent").value_or(std::vector<std::string>{});
/// if (s.changed()) { /* read again */ }
/// @endcode
///
/// The text is read as penmoor::ini_file reads its file, with the same options: the same dialect, the
/// same character set (as found: UTF-8 where the bytes are valid UTF-8, else Windows-1252) and line
/// ends, so that every answer is the one ini_file gives. In the common dialect every occurrence of a
/// section is the section and the last line of a key counts; in the exact dialect a section is its first
/// occurrence and the first line of a key counts. Lines that are no line of the dialect (a header without
/// its "]", a line without "=" where a setting is due) are listed as problems, or refuse the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "penmoor/ini_file.hpp"
#include "penmoor/values.hpp"

namespace penmoor {

/// A line that is none of the dialect's lines (a header, a setting, a comment, a blank line or a line of
/// a value), or a file that could not be read at all.
struct ini_problem {
    std::string path;  ///< the file, or empty for text in memory
    std::size_t line;  ///< counted from 1; 0 for the whole file
    std::string text;  ///< the line, in UTF-8
    std::string why;   ///< what is wrong with it
};

/// What reading does with lines that are none of the dialect's.
enum class malformed_lines : std::uint8_t {
    listed,   ///< they are passed over and listed in problems()
    refused,  ///< the first one is error 5, naming its line
};

/// Where a file stood when it was read: what tells, without reading it, that it changed since.
struct PENMOOR_API file_stamp {
    bool exists = false;           ///< there was a file at the path
    std::uint64_t device = 0;      ///< its device
    std::uint64_t inode = 0;       ///< its inode: a replaced file is a new one
    std::uint64_t size = 0;        ///< its size in bytes
    std::int64_t modified_ns = 0;  ///< its last modification, in nanoseconds since 1970
    std::int64_t changed_ns = 0;   ///< its last status change, likewise
    /// Whether both name the same file in the same state.
    bool operator==(const file_stamp& other) const noexcept {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified_ns == other.modified_ns && changed_ns == other.changed_ns;
    }
    /// Whether they differ.
    bool operator!=(const file_stamp& other) const noexcept { return !(*this == other); }
    /// Where the file at path (symbolic links followed) stands now: one stat. A missing path gives a stamp
    /// that does not exist; a path the system cannot tell about (not permitted) the file system's error.
    /// @code
    /// bool moved = penmoor::file_stamp::of("app.ini") != snapshot.stamp();
    /// @endcode
    static file_stamp of(const std::string& path);
};

/// Reads of typed values, for any reader whose get() gives a value's text and whose source_of() names
/// where a value comes from. A missing key is an empty std::optional; a value that is not of the type is
/// error 13 (type mismatch) naming the file, section, key and text; get_or() gives the fallback for
/// both.
/// @code
/// std::optional<bool> full = snapshot.get_as<bool>("Window", "Fullscreen");
/// double zoom = snapshot.get_or("View", "Zoom", 1.0);
/// @endcode
template <class Reader>
class typed_reads {
  public:
    /// The value as a bool (values::to_bool) or a number (values::to_number); nothing when the key is
    /// missing, error 13 when its text is no value of the type.
    template <class T, std::enable_if_t<is_number_v<T> || std::is_same_v<T, bool>, int> = 0>
    std::optional<T> get_as(std::string_view section, std::string_view key) const {
        const std::optional<std::string> text = self().get(section, key);
        if (!text) return std::nullopt;
        std::optional<T> value;
        if constexpr (std::is_same_v<T, bool>) {
            value = values::to_bool(*text);
        } else {
            value = values::to_number<T>(*text);
        }
        if (!value) mismatch(self().source_of(section, key), section, key, *text, type_name<T>());
        return value;
    }
    /// The value, or fallback when there is none.
    std::string get_or(std::string_view section, std::string_view key, std::string_view fallback) const {
        std::optional<std::string> text = self().get(section, key);
        return text ? std::move(*text) : std::string(fallback);
    }
    /// The value, or fallback when there is none.
    std::string get_or(std::string_view section, std::string_view key, const char* fallback) const {
        return get_or(section, key, std::string_view(fallback));
    }
    /// The value as a bool or a number, or fallback when there is none or it is no value of the type.
    template <class T, std::enable_if_t<is_number_v<T> || std::is_same_v<T, bool>, int> = 0>
    T get_or(std::string_view section, std::string_view key, T fallback) const {
        const std::optional<std::string> text = self().get(section, key);
        if (!text) return fallback;
        std::optional<T> value;
        if constexpr (std::is_same_v<T, bool>) {
            value = values::to_bool(*text);
        } else {
            value = values::to_number<T>(*text);
        }
        return value.value_or(fallback);
    }
    /// The value as a list (values::to_list), or nothing when the key is missing.
    std::optional<std::vector<std::string>> get_list(std::string_view section, std::string_view key,
                                                     char separator = ';') const {
        const std::optional<std::string> text = self().get(section, key);
        if (!text) return std::nullopt;
        return values::to_list(*text, separator);
    }

  private:
    const Reader& self() const noexcept { return static_cast<const Reader&>(*this); }
    template <class T>
    static const char* type_name() noexcept {
        if constexpr (std::is_same_v<T, bool>) return "a Boolean (true, false, yes, no, on, off, 1 or 0)";
        if constexpr (std::is_integral_v<T>) return "a whole number in range";
        return "a finite number in range";
    }
    [[noreturn]] static void mismatch(const std::string& path, std::string_view section, std::string_view key,
                                      std::string_view text, const char* type) {
        throw error(13, path,
                    path + ": Type mismatch: [" + std::string(section) + "] " + std::string(key) + " = '" +
                        std::string(text) + "' is not " + type);
    }
};

/// INI text held in memory, read once: every answer comes from memory, as penmoor::ini_file would give
/// it for a file of that text.
/// @code
/// penmoor::ini_text text("[Window]\nWidth = 800\n");
/// int width = text.get_or("Window", "Width", 640);  // 800
/// @endcode
class PENMOOR_API ini_text : public typed_reads<ini_text> {
  public:
    /// No text: no section, no key.
    ini_text();
    /// The text's bytes, read as a file of them with these options (create aside); with
    /// malformed_lines::refused, a line that is none of the dialect's is error 5 naming it.
    explicit ini_text(std::string_view bytes, const file_options& options = {},
                      malformed_lines malformed = malformed_lines::listed);
    ~ini_text();
    /// A copy shares the text read, which never changes.
    ini_text(const ini_text&);
    /// As the copy.
    ini_text& operator=(const ini_text&);
    /// Takes the text over.
    ini_text(ini_text&&) noexcept;
    /// As the move.
    ini_text& operator=(ini_text&&) noexcept;

    using typed_reads<ini_text>::get_or;

    /// The value of the key that counts in the section (see the file's description), or nothing when the
    /// section or the key is missing; a value of several lines comes joined by line feeds.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// Whether the section is there.
    bool contains(std::string_view section) const;
    /// Whether the key is there in the section.
    bool contains(std::string_view section, std::string_view key) const;
    /// The sections' names, each once, in the order of the text.
    std::vector<std::string> sections() const;
    /// The section's key names, each once, in the order of the text; none when it is missing.
    std::vector<std::string> keys(std::string_view section) const;
    /// The lines that are none of the dialect's, in order.
    const std::vector<ini_problem>& problems() const noexcept;
    /// The file the text was read from, or empty.
    const std::string& source_of(std::string_view section, std::string_view key) const noexcept;

  protected:
    /// Reads bytes as the text of the file at path (what ini_snapshot holds).
    void take(std::string_view bytes, const file_options& options, malformed_lines malformed,
              std::string path);

  private:
    struct model;
    std::shared_ptr<const model> model_;
};

/// The whole of a file, read at one moment in one open and one read (ini_file::read()): its answers
/// come from memory, and changed() tells cheaply whether the file is still the one read.
/// @code
/// penmoor::ini_file file("settings.ini");
/// penmoor::ini_snapshot s = file.read();
/// for (const std::string& key : s.keys("Window")) std::puts(key.c_str());
/// if (s.changed()) s = file.read();
/// @endcode
class PENMOOR_API ini_snapshot : public ini_text {
  public:
    /// Reads the file at path now (what ini_file::read() does): a missing file reads as empty when
    /// options.create says so, else it is error 53 (76 for a missing directory); a file that is no
    /// regular file is error 75; one that cannot be read the file system's error.
    ini_snapshot(const std::string& path, const file_options& options = {},
                 malformed_lines malformed = malformed_lines::listed);

    /// The file's path, as given.
    const std::string& path() const noexcept { return path_; }
    /// Where the file stood when it was read.
    const file_stamp& stamp() const noexcept { return stamp_; }
    /// Whether the file at the path is no longer the one read: another file, another size or time of
    /// change, there now or gone. One stat of the path; a file changed so soon after the read that its
    /// times cannot tell is read again and compared.
    bool changed() const;

  private:
    std::string path_;
    file_stamp stamp_;
    mutable std::int64_t read_ns_ = 0;  // when its bytes were last known to be the ones read
    std::size_t hash_ = 0;              // of its bytes
};

}  // namespace penmoor
