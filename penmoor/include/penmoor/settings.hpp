/// @file
/// penmoor::settings: an application's settings in layers, as Linux desktops keep them.
///
/// @code
/// #include <penmoor/settings.hpp>
///
/// penmoor::settings config("myapp", "myapp.ini");  // ~/.config/myapp/myapp.ini over
/// /etc/xdg/myapp/myapp.ini int width = config.get_or("Window", "Width", 640); config.set("Window", "Width",
/// 800);               // the user's file, made with its directories config.erase("Window", "Width"); // the
/// system's value, or the fallback, shows again
/// @endcode
///
/// A value is looked up in these files, in this order, and the first that holds the key gives it:
///  1. the user's file: `$XDG_CONFIG_HOME/<application>/<file>`, where XDG_CONFIG_HOME is unset, empty
///     or not an absolute path `~/.config/<application>/<file>` (`~` is `$HOME`, else the user's home
///     directory in the system's user database);
///  2. the system's files: `<dir>/<application>/<file>` for each directory of `$XDG_CONFIG_DIRS` (a list
///     separated by ":", relative entries passed over), `/etc/xdg` where it is unset or empty: the first
///     directory listed wins over those after it;
///  3. the defaults file the application ships, when it names one (settings_options::defaults).
///
/// A section is there when any file holds it; sections() and keys() list every name once, those of the
/// defaults first, then the system's, then the user's own, each in the order of its file. Changes go to
/// the user's file alone (with penmoor::ini_file: one locked, atomic replacement each), which the first
/// change makes, with its missing directories (mode 0700, less the umask); the other files are only
/// read. Erasing a key erases the user's line of it, so that the value of a file below shows again.
///
/// A file below the user's that cannot be read (not permitted, not a regular file) is passed over and
/// listed in problems(), as are lines of any file that are none of the dialect's: the application starts
/// whatever the system's files are. Every file is read in one open and one read when the settings are
/// made and by reload(); changed() tells cheaply whether any of them changed since.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "penmoor/ini_file.hpp"
#include "penmoor/ini_text.hpp"
#include "penmoor/values.hpp"

namespace penmoor {

/// How settings find and read their files.
struct settings_options {
    /// The defaults file the application ships (say /usr/share/myapp/defaults.ini), read below the
    /// system's files; empty for none. A missing defaults file reads as empty.
    std::string defaults;
    /// How every file is read and the user's written (create aside: the user's file is made by the first
    /// change, the others are never made).
    file_options format;
    /// What reading does with lines that are none of the dialect's: listed in problems(), or refused
    /// (error 5 naming the file and line, from the constructor and reload()).
    malformed_lines malformed = malformed_lines::listed;
};

/// An application's settings: the user's file over the system's over the application's defaults.
class PENMOOR_API settings : public typed_reads<settings> {
  public:
    /// The settings of application (a directory name, such as "myapp"), in files named file (such as
    /// "myapp.ini"), read now. An application or file name that is empty, ".", "..", or holds "/" or a
    /// NUL is error 52; so is a user's file that cannot be placed (no home directory).
    settings(std::string application, std::string file, settings_options options = {});
    ~settings();
    /// Copies the files read and their paths.
    settings(const settings&);
    /// As the copy.
    settings& operator=(const settings&);
    /// Takes them over.
    settings(settings&&) noexcept;
    /// As the move.
    settings& operator=(settings&&) noexcept;

    using typed_reads<settings>::get_or;

    /// The value of the first file that holds the key (the lookup order above), or nothing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// Whether any file holds the section.
    bool contains(std::string_view section) const;
    /// Whether any file holds the key in the section.
    bool contains(std::string_view section, std::string_view key) const;
    /// Every section of every file, each once: the defaults' first, then the system's, then the user's.
    std::vector<std::string> sections() const;
    /// Every key of the section in every file, each once, in the same order.
    std::vector<std::string> keys(std::string_view section) const;
    /// The path of the file the key's value comes from; empty when none holds it.
    const std::string& source_of(std::string_view section, std::string_view key) const noexcept;

    /// Sets the key in the user's file (as ini_file::set()); it then reads the user's file again.
    void set(std::string_view section, std::string_view key, std::string_view value);
    /// As set() of a string.
    void set(std::string_view section, std::string_view key, const char* value) {
        set(section, key, std::string_view(value));
    }
    /// Sets the key to "true" or "false".
    void set(std::string_view section, std::string_view key, bool value) {
        set(section, key, values::bool_text(value));
    }
    /// Sets the key to a number, written in its shortest form.
    template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
    void set(std::string_view section, std::string_view key, Number value) {
        set(section, key, std::string_view(values::number_text(value)));
    }
    /// Sets the key to a list (values::list_text); an item that would not read back is error 5.
    void set_list(std::string_view section, std::string_view key, const std::vector<std::string>& items,
                  char separator = ';');
    /// Erases the key from the user's file; false when the user's file did not hold it. A file below may
    /// still give the key a value.
    bool erase(std::string_view section, std::string_view key);
    /// Erases the section from the user's file; false when the user's file did not hold it.
    bool erase(std::string_view section);

    /// Reads every file again.
    void reload();
    /// Whether any file changed, appeared or went away since it was read (ini_snapshot::changed()).
    bool changed() const;
    /// The files that could not be read and the lines that are none of the dialect's, file by file.
    std::vector<ini_problem> problems() const;

    /// The user's file, where changes go.
    const std::string& user_file() const noexcept;
    /// Every file looked in, in the lookup order: the user's, the system's, the defaults.
    std::vector<std::string> files() const;

  private:
    struct layers;
    std::unique_ptr<layers> layers_;
};

}  // namespace penmoor
