/// @file
/// penmoor::values: the text of typed settings, read and written the same way by every reader and
/// writer of the library (penmoor::ini_file, penmoor::ini_text, penmoor::settings).
///
/// @code
/// #include <penmoor/values.hpp>
///
/// penmoor::values::to_bool(" Yes ");              // true
/// penmoor::values::to_number<int>("640");          // 640
/// penmoor::values::to_list("a; b;;c;");            // {"a", "b", "", "c"}
/// penmoor::values::list_text({"a", "b", ""}, ';');  // "a;b;;"
/// @endcode
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#ifndef PENMOOR_API
/// Exports a class of the library: its members are visible outside libpenmoor.so.
#define PENMOOR_API [[gnu::visibility("default")]]
#endif

namespace penmoor {

/// A number type that settings may hold: any arithmetic type but bool.
template <class Number>
inline constexpr bool is_number_v = std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>;

/// The text of typed settings.
namespace values {

/// Text without the blanks and tabs around it.
inline std::string_view trimmed(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

/// The number text says, blanks and tabs around it aside; nothing when it is not all a finite number of
/// that type (out of its range included).
/// @code
/// penmoor::values::to_number<double>(" 1.5 ");  // 1.5
/// penmoor::values::to_number<int>("1.5");       // nothing
/// @endcode
template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
std::optional<Number> to_number(std::string_view text) noexcept {
    text = trimmed(text);
    Number n{};
    const char* last = text.data() + text.size();
    const auto [end, failed] = std::from_chars(text.data(), last, n);
    if (failed != std::errc() || end != last) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (n - n != 0) return std::nullopt;  // infinite or not a number
    }
    return n;
}

/// A number in its shortest form, as the writers write it.
/// @code
/// penmoor::values::number_text(0.5);  // "0.5"
/// @endcode
template <class Number, std::enable_if_t<is_number_v<Number>, int> = 0>
std::string number_text(Number value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, static_cast<std::size_t>(result.ptr - text));
}

/// The Boolean text says, in any case and with blanks and tabs around it: true for "true", "yes", "on"
/// and "1", false for "false", "no", "off" and "0"; nothing for anything else.
/// @code
/// penmoor::values::to_bool("Off");  // false
/// @endcode
PENMOOR_API std::optional<bool> to_bool(std::string_view text);

/// The text of a Boolean, as the writers write it: "true" or "false".
/// @code
/// penmoor::values::bool_text(true);  // "true"
/// @endcode
inline std::string_view bool_text(bool value) noexcept {
    return value ? "true" : "false";
}

/// The items of a list: text cut at each separator, each item without the blanks and tabs around it.
/// Empty text is the empty list; a separator at the end ends the last item (as desktop entries write
/// lists), so "a;b;" is two items; an empty item between two separators is kept.
/// @code
/// penmoor::values::to_list(" a , b ", ',');  // {"a", "b"}
/// @endcode
PENMOOR_API std::vector<std::string> to_list(std::string_view text, char separator = ';');

/// The text of a list that to_list() reads back as the same items: the items joined by the separator,
/// with one more after the last when it is empty. An item that holds the separator, or blanks or tabs at
/// either end, would not read back as itself: the writers refuse it (error 5).
/// @code
/// penmoor::values::list_text({"a", "b"}, ',');  // "a,b"
/// @endcode
PENMOOR_API std::string list_text(const std::vector<std::string>& items, char separator = ';');

/// Why an item cannot be written in a list with that separator, or empty when it can.
/// @code
/// penmoor::values::list_item_problem("a;b", ';');  // "holds the separator ';'"
/// @endcode
PENMOOR_API std::string list_item_problem(std::string_view item, char separator);

}  // namespace values
}  // namespace penmoor
