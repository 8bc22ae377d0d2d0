/// @file
/// penmoor: a control that tests, reads and edits one bound INI file on disk.
///
/// The control keeps nothing of the file between calls and holds no file open between calls. Every
/// outcome is reported as one result code through the State event; every call of a writing operation
/// (addFile, addHeader, addSetting, updateSetting, deleteSetting, deleteHeader) that returns normally ends
/// with hasWrite. A failure of the file system ends the call with platform::runtime_error and no further
/// event.
///
/// Lines end at CR LF or a lone CR; a lone LF stays in the line. Names are compared exactly: case and
/// blanks count. Text is stored in Windows-1252. The file format page says what a line, a name and a
/// character are, and what an edit does to a file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarnwick/components/user_control.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/types.hpp"
#include "tarnwick/version.h"  // TARNWICK_VERSION_MAJOR ... TARNWICK_VERSION_STRING

/// Exports a class of the library: its members are visible outside libpenmoor.so.
#define PENMOOR_API [[gnu::visibility("default")]]

/// The writer control and its event interface.
namespace penmoor {

/// Internal to the library.
namespace detail {
struct batch_state;
}

/// @name Result codes carried by State: exactly one per event, never combined.
/// @{
inline constexpr std::int16_t TW_NOHEADER = 1;         ///< the section does not exist
inline constexpr std::int16_t TW_NOSETTING = 2;        ///< the setting does not exist in the section
inline constexpr std::int16_t TW_NOFILE = 4;           ///< no file is bound / the path names no file
inline constexpr std::int16_t TW_OKFILE = 8;           ///< the file is now bound
inline constexpr std::int16_t TW_HEADEREXISTS = 16;    ///< addHeader: the section exists already
inline constexpr std::int16_t TW_FILEEXISTS = 32;      ///< addFile: the file exists already
inline constexpr std::int16_t TW_MADEFILE = 64;        ///< addFile: an empty file was created
inline constexpr std::int16_t TW_MANYSETTINGS = 128;   ///< updateSetting: a further line of that name follows
inline constexpr std::int16_t TW_SETTINGEXISTS = 256;  ///< addSetting: the setting exists already
/// @}

/// The event interface. Handlers run inside the call that raises the event and may call the control
/// again; a value written into State's argument is ignored. A host overrides the events it wants.
class PENMOOR_API ini_events {
  public:
    virtual ~ini_events() = default;
    /// One outcome of a call: State is one of the result codes TW_NOHEADER ... TW_SETTINGEXISTS.
    virtual void State(std::int16_t& State) { (void)State; }
    /// A writing operation is over: the last event of every call of addFile, addHeader, addSetting,
    /// updateSetting, deleteSetting and deleteHeader that returns normally, whether or not it wrote.
    virtual void hasWrite() {}
};

/// The writer: binds one INI file on disk and tests, reads and edits it in place.
class PENMOOR_API ini : public platform::user_control {
  public:
    /// Unbound, CreateNew False, 585 x 645 twips.
    ini();
    ini(const ini&) = delete;
    ini& operator=(const ini&) = delete;
    ~ini() override;

    /// Sinks receive every event, in the order they were connected. A sink connected twice receives
    /// each event twice. A handler may connect or disconnect sinks; the change applies to later events:
    /// an event goes to the sinks connected when it starts, so a sink a handler disconnects still
    /// receives the event being raised and must outlive it.
    void connect(ini_events& sink);
    /// Disconnects sink (one connection of it); a sink that is not connected is ignored.
    void disconnect(ini_events& sink);

    /// The bound path exactly as it was assigned, or "None" while unbound.
    platform::string File() const;
    /// Binds path when it names a regular file (State TW_OKFILE). Otherwise, with CreateNew set, creates
    /// it through addFile first; else State TW_NOFILE and nothing changes. Errors of addFile propagate.
    void File(platform::string path);

    /// Whether the next File assignment creates a missing file.
    platform::boolean CreateNew() const;
    /// Stored as given; any non-zero value counts as True. Consulted by the next File assignment.
    void CreateNew(platform::boolean value);

    /// @name Lookups
    /// Each reads the bound file afresh from its first line. Section Header is the lines after the first
    /// line equal to "[Header]", up to the next line that begins with "[" and is not itself "[Header]".
    /// A setting line holds "="; its name is the text before the first "=". A name that has no
    /// Windows-1252 form is never found. Unbound: State TW_NOFILE and False or the empty string.
    /// @{

    /// True when a line equals "[Header]"; otherwise State TW_NOHEADER.
    platform::boolean isHeader(const platform::string& Header);
    /// True when section Header holds a setting named Setting. Calls isHeader first; a missing section
    /// is TW_NOHEADER again; a section that ends at a following header line without the setting is
    /// TW_NOSETTING; a section that runs to the end of the file without it raises nothing.
    platform::boolean isSetting(const platform::string& Header, const platform::string& Setting);
    /// The value (text after the first "=") of the first setting named Setting in section Header, or
    /// the empty string. Calls isSetting first.
    platform::string getSetting(const platform::string& Header, const platform::string& Setting);
    /// @}

    /// Creates an empty file at File unless something exists there already (State TW_FILEEXISTS,
    /// False); the file is never truncated and not bound. State TW_MADEFILE, True. Then hasWrite.
    /// The empty path, a missing directory or a forbidden one are run-time errors 52, 76 and 70.
    platform::boolean addFile(const platform::string& File);

    /// @name Editing operations
    /// Text an operation would write (a section name, a setting name, a value) must be one line in
    /// Windows-1252, and a setting name must also read back as itself: a CR, a character outside the set,
    /// or a setting name that begins with "[" or holds "=" is run-time error 5, raised first, with no
    /// event and no file access. A lone LF is written as it is.
    ///
    /// Each operation reads and changes the bound file in one step under an exclusive lock on the file
    /// (a waiter gives up after 10 seconds: error 70; an edit of the file from an event handler while
    /// this thread edits it: error 55). Its State codes are those of the lookups it stands for, then its
    /// own. A change replaces the file atomically, keeping its owner, group and mode; an operation that
    /// changes nothing leaves the file untouched and returns False. Every call that returns normally ends
    /// with hasWrite. Unbound: State TW_NOFILE (addHeader twice; addSetting twice, then TW_NOHEADER),
    /// hasWrite, False.
    /// @{

    /// Appends CR LF, CR LF, "[Header]", CR LF to the file, byte for byte behind its content: State
    /// TW_NOHEADER, True. When a line equals "[Header]" already: State TW_HEADEREXISTS, False.
    platform::boolean addHeader(const platform::string& Header);
    /// Adds the line Setting=Value directly below the first header line of section Header: True, after
    /// State TW_NOSETTING when the section (as the lookups read it) ends at a following header line, with
    /// no State when it runs to the end of the file. A missing section: State TW_NOHEADER four times,
    /// False. A setting of that name in the section as the lookups read it: State TW_SETTINGEXISTS, False.
    platform::boolean addSetting(const platform::string& Header, const platform::string& Setting,
                                 const platform::string& Value);
    /// Replaces the first line of setting Setting in the first occurrence of section Header (which ends at
    /// the next line beginning with "[", a repeat of the same header line included) with Setting=Value:
    /// True, after State TW_MANYSETTINGS when a further line of that name follows there. A missing
    /// section: State TW_NOHEADER twice, False. No such setting: False, after State TW_NOSETTING when the
    /// section ends at a following header line, or when the setting stands only after a repeat of the
    /// header line; with no State when the section runs to the end of the file.
    platform::boolean updateSetting(const platform::string& Header, const platform::string& Setting,
                                    const platform::string& Value);
    /// Drops every line of setting Setting in the first occurrence of section Header (as updateSetting
    /// reads it): True. A missing section: State TW_NOHEADER twice, False. No such setting: State
    /// TW_NOSETTING twice when the section ends at a following header line, once otherwise; False.
    platform::boolean deleteSetting(const platform::string& Header, const platform::string& Setting);
    /// Drops every header line "[Header]", wherever it stands, and the setting lines that follow any of
    /// them up to the next line beginning with "[" that is not itself "[Header]"; lines without "=" stay.
    /// The new file starts with two empty lines. True, with a hasWrite for each distinct setting name of
    /// the section's first occurrence, then the last one, raised once the file is replaced. A missing
    /// section: State TW_NOHEADER twice, False.
    platform::boolean deleteHeader(const platform::string& Header);
    /// @}

    /// Opens or brings forward the thread's constants window; no file, state or event. Cannot show: error 7.
    void showConstants();

    /// @name Extensions
    /// @{

    /// Where lines end; a 16-bit integer property, dispatch id 0x6803000E:
    ///  - 0, the default: at CR LF or a lone CR, and a lone LF stays in the line; lines written end with
    ///    CR LF;
    ///  - 1: a lone LF ends a line too; lines written end with LF;
    ///  - 2: as found: each operation looks at the file's first line end: a lone LF means 1, anything
    ///    else 0, and a file with no line end yet 1.
    ///
    /// Where a lone LF may end lines (1 and 2), text the writer would write may not hold an LF either
    /// (run-time error 5, as a CR).
    std::int16_t LineEnds() const;
    /// Sets LineEnds; any value but 0, 1 and 2 is run-time error 5 and changes nothing.
    void LineEnds(std::int16_t value);

    /// The character set of the file's text; a 16-bit integer property, dispatch id 0x6803000F:
    ///  - 0, the default: Windows-1252, every byte one character;
    ///  - 1: UTF-8; bytes that are not UTF-8 are kept, never replaced: each reads as a lone surrogate
    ///    U+DC80 ... U+DCFF and is written back as the byte it was. A UTF-8 byte-order mark at the start
    ///    of the file is kept and is no part of the first line;
    ///  - 2: as found: UTF-8 where the file's bytes are valid UTF-8 (or start with the byte-order mark,
    ///    or there are none), else Windows-1252. The file is read for it only when text that is not
    ///    ASCII is to be compared or returned; text to be written is checked against the set once found.
    std::int16_t Encoding() const;
    /// Sets Encoding; any value but 0, 1 and 2 is run-time error 5 and changes nothing.
    void Encoding(std::int16_t value);

    /// How lines are told apart; a 16-bit integer property, dispatch id 0x68030010:
    ///  - 0, the default: exact, as described above (blanks are part of names and values);
    ///  - 1: common, as most INI files on Linux are written: blanks and tabs around a setting's name and
    ///    value are no part of them; a line whose first other character is ";" or "#" is a comment; a
    ///    header may be indented and followed by blanks or a comment; a value goes on over lines indented
    ///    deeper than its setting, or after a line ending in a backslash; the lines before the first
    ///    header are the section named "". An update keeps the line's spacing and drops the old value's
    ///    other lines; a new setting goes after the section's last line, spaced as its first setting; a
    ///    new section is set off by one blank line; deleteHeader removes a section whole, with the
    ///    comments above its header and the blank line before them. The first of two equal keys wins,
    ///    and case counts, as in the exact dialect.
    std::int16_t Dialect() const;
    /// Sets Dialect; any value but 0 and 1 is run-time error 5 and changes nothing.
    void Dialect(std::int16_t value);

    /// For C++ callers: gives each() the name of every header line, "[" + name + "]", in the order of
    /// the file, repeats included, and returns True; False and State TW_NOFILE while unbound.
    platform::boolean listHeaders(const std::function<void(const platform::string& Header)>& each);
    /// For C++ callers: gives each(name, value) every setting line of section Header as the lookups read
    /// it, in the order of the file, and returns True; False, with the events of isSetting for a missing
    /// section, when there is no such section. Lines are streamed: none is held whole.
    platform::boolean listSettings(
        const platform::string& Header,
        const std::function<void(const platform::string& Setting, const platform::string& Value)>& each);
    /// @}

  protected:
    /// Keeps the control at 585 x 645 twips.
    void Resize() override;

  private:
    friend class batch;
    struct state;  // everything else of the control, so that it may change without breaking callers
    std::unique_ptr<state> state_;
};

/// Several edits of one control's file made one change, for C++ callers. From its construction to
/// commit(), the control's edits apply to a copy of the file under the file's lock, and its lookups see
/// them; commit() then puts the result in the file's place at once, with one flush, or leaves the file
/// untouched when the edits changed nothing. A batch destroyed without commit(), after a failed edit for
/// instance, leaves the file exactly as it was.
class PENMOOR_API batch {
  public:
    /// Takes the lock of the control's bound file for the batch's life. The control must be bound
    /// (else run-time error 5); one batch at a time per control (else 55, as for any other edit of a
    /// file this thread is editing).
    explicit batch(ini& control);
    /// Ends the batch; without commit(), the file stays as it was.
    ~batch();
    batch(const batch&) = delete;
    batch& operator=(const batch&) = delete;

    /// Puts what the batch's edits made in the file's place, once, with one flush of its data; nothing
    /// when they changed nothing. The file's owner, group and mode are kept as by any edit.
    void commit();

  private:
    ini& control_;
    std::unique_ptr<detail::batch_state> state_;
};

}  // namespace penmoor
