/// @file
/// tw_ini: a control that loads one INI file into fixed-capacity tables and answers queries on them.
///
/// The tables hold up to 10,001 headers (sections) and 60,001 settings, in the order they were filed.
/// They are filled only by ResetConf, InputConf and ReadFile; every query answers from the tables as they
/// stand at the call and changes nothing. Names are compared exactly: case and blanks count. A query by
/// name that meets two headers (or two settings of one header) of the same name answers from the first.
///
/// Positions are 0-based and any 32-bit value is accepted; counts are reported as the highest valid
/// position. Not-found and out-of-range answers are the empty string, 0, -1 or False as stated per member;
/// the empty string is also a real value (a line "key="), and the answers do not tell the two apart.
///
/// Capacity is a limit, not an allocation: a new control holds no table memory, and memory taken by a load
/// is kept for the next one. A load holds the file's bytes once, as read, and a slot of 16 bytes per
/// header and per setting; text is decoded only when a query returns it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tarnwick/components/user_control.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/types.hpp"
#include "tarnwick/version.h"  // TARNWICK_VERSION_MAJOR ... TARNWICK_VERSION_STRING

/// Exports a class of the library: its members are visible outside libtw_ini.so.
#define TW_INI_API [[gnu::visibility("default")]]

/// The reader control.
namespace tw_ini {

/// Most headers the tables hold.
inline constexpr std::int32_t header_capacity = 10001;
/// Most settings the tables hold.
inline constexpr std::int32_t setting_capacity = 60001;

/// The face a host shows while its form is being designed: one push button that fills the control, in
/// twips. Nothing refers to it at run time.
struct face_button {
    std::u16string_view name;     ///< the button's name
    std::u16string_view caption;  ///< the text on the button
    float left;                   ///< from the control's left edge
    float top;                    ///< from the control's top edge
    float width;                  ///< the button's width
    float height;                 ///< the button's height
};
/// The reader's face: the button "jj", captioned "TW INI", 585 x 555 twips at the control's top left.
inline constexpr face_button face{u"jj", u"TW INI", 0, 0, 585, 555};

/// The reader: loads one INI file into fixed-capacity tables and answers queries on them.
class TW_INI_API ini : public platform::user_control {
  public:
    /// Empty tables, 585 x 555 twips.
    ini();
    ini(const ini&) = delete;
    ini& operator=(const ini&) = delete;
    ~ini() override;

    /// Empties the tables, in constant time; the memory they took is kept for the next load.
    void ResetConf();

    /// Files one line behind what is already filed. With L the length of to_input in UTF-16 units:
    ///  - L <= 2: ignored, whatever it holds ("[]", "a=", "=b").
    ///  - first unit "[" and last unit "]": a header named by the units between them, which may hold
    ///    "[", "]" or "=". Tested first, so "[a=b]" is the header "a=b".
    ///  - otherwise, holding "=": a setting of the most recent header, named by the text before the first
    ///    "=" and valued by the text after it ("k=v=w" is k with value "v=w"; "=v" has the empty name).
    ///    A setting line before the first header is ignored.
    ///  - otherwise: ignored.
    ///
    /// Nothing is trimmed: " [a]" is ignored, "K = V" is the setting "K " with value " V". That is the
    /// exact rule; Dialect 1 files lines by the common one.
    /// A header beyond header_capacity or a setting beyond setting_capacity is run-time error 9, raised
    /// before anything changes, so the tables stay as they were and remain queryable. Text beyond
    /// 4,294,967,295 bytes in all (a loaded file's and that of the lines filed since) is run-time error 7,
    /// raised likewise.
    void InputConf(const platform::string& to_input);

    /// The value of the first setting named `setting` of the first header named Headername; empty when
    /// either is missing.
    platform::string RCS(const platform::string& Headername, const platform::string& setting);

    /// The highest setting position of the first header named Headername: its number of settings minus
    /// one, so -1 for a header without settings. 0 when no header has that name.
    std::int32_t GetSettings(const platform::string& Headername);

    /// The value of the setting at Position, counted from 0, of the first header named Headername; empty
    /// when the header is missing or Position is outside 0..GetSettings(Headername).
    platform::string ReadAtPosition(const platform::string& Headername, const std::int32_t& Position);
    /// The name of the setting at Position, counted from 0, of the first header named Headername; empty
    /// when the header is missing or Position is outside 0..GetSettings(Headername).
    platform::string SettingAtPosition(const platform::string& Headername, const std::int32_t& Position);

    /// The highest header position: the number of headers filed minus one, -1 when there are none.
    std::int32_t GetNumberOfHeaders();

    /// The name of the header at Position, counted from 0 in filing order (a repeated name is listed at
    /// each of its positions); empty outside 0..GetNumberOfHeaders().
    platform::string GetHeaderAtPosition(const std::int32_t& Position);

    /// True when a header of exactly that name is filed. The empty name is never a header.
    platform::boolean FindHeader(const platform::string& Headername);

    /// The negation of FindHeader(Headername). Files nothing.
    platform::boolean AddHeader(const platform::string& Headername);

    /// Empties the tables, then, when Filename names a regular file (following symbolic links), files
    /// each of its lines through the rule of InputConf and returns True. A missing path, a directory or
    /// anything else that is not a regular file gives False with the tables left empty.
    ///
    /// Bytes are Windows-1252 (see Encoding); a line ends at CR LF or a lone CR, and a lone LF stays in
    /// the line (see LineEnds). Lines may hold any byte and have any length. The file is closed on every
    /// path.
    ///
    /// Errors, raised after the tables were emptied: a Filename holding a NUL or an unpaired surrogate is
    /// 52; a file that cannot be opened or read is the error of the file system (70 when permission is
    /// denied); a header or setting beyond the capacity is 9 (and too much text 7), with the lines before
    /// it filed.
    platform::boolean ReadFile(const platform::string& Filename);

    /// An extension: where the lines of a file that ReadFile reads end; a 16-bit
    /// integer property, dispatch id 0x6803000C. 0, the default: at CR LF or a lone CR, and a lone LF
    /// stays in the line; 1: a lone LF ends a line too; 2: as found: ReadFile looks at the file's first
    /// line end: a lone LF means 1, anything else 0, and a file with no line end 1. InputConf takes its
    /// line as it is, whatever the value.
    std::int16_t LineEnds() const;
    /// Sets LineEnds; any value but 0, 1 and 2 is run-time error 5 and changes nothing.
    void LineEnds(std::int16_t value);

    /// An extension: the character set of the text; a 16-bit integer property, dispatch id 0x6803000D.
    ///  - 0, the default: Windows-1252, every byte one character;
    ///  - 1: UTF-8; bytes that are not UTF-8 are kept and each reads as a lone surrogate U+DC80 ...
    ///    U+DCFF; a UTF-8 byte-order mark at the start of a file is no part of its first line;
    ///  - 2: as found: ReadFile takes UTF-8 when the file's bytes are valid UTF-8 (or start with the
    ///    byte-order mark, or there are none), else Windows-1252.
    ///
    /// The tables hold their text in one set: a new value applies from the next ReadFile or ResetConf,
    /// or at once while the tables are empty. Names asked for are compared in the set's bytes.
    std::int16_t Encoding() const;
    /// Sets Encoding; any value but 0, 1 and 2 is run-time error 5 and changes nothing.
    void Encoding(std::int16_t value);

    /// An extension: how lines are told apart; a 16-bit integer property, dispatch id 0x6803000E. It
    /// applies to the lines filed from then on, by ReadFile and InputConf alike.
    ///  - 0, the default: exact, the rule of InputConf above;
    ///  - 1: common, as most INI files on Linux are written: blank lines and lines whose first character
    ///    other than blanks and tabs is ";" or "#" are ignored; a header is "[" name "]" after any blanks,
    ///    followed by nothing or by blanks and a comment (the name as it stands, never empty); a setting
    ///    line holds "=", its name and value without the blanks and tabs around them (a line "k=" is k
    ///    with the empty value); a line indented deeper than the setting before it, or the line after a
    ///    value line that ends with a backslash when it is no setting or header line itself, goes on
    ///    with that setting's value, which is then its lines without the blanks around them, joined by
    ///    LF (a blank line inside it as an empty line, comments left out); settings before the first
    ///    header are filed under a header named "", filed when the first of them is. Any other line is
    ///    ignored, and a repeated header is filed again, as in the exact rule.
    std::int16_t Dialect() const;
    /// Sets Dialect; any value but 0 and 1 is run-time error 5 and changes nothing.
    void Dialect(std::int16_t value);

  protected:
    /// Keeps the control at 585 x 555 twips: sets its Height first, then its Width.
    void Resize() override;

  private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace tw_ini
