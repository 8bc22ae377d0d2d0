// A value that holds a list of items (--list): an item added at its end, or removed.
//
// The separator says how the value splits into items and how they are joined again:
// - with a mark and blanks (", ", the default): items are split at the mark (",") and lose the blanks
//   around them; the list is joined again with the separator as given ("p ,q" and r give "p, q, r");
// - a mark alone (",", ":"): items are split at it as they stand, and the new item joined with it
//   ("p, q" and r give "p, q,r");
// - blanks alone, or nothing: items are split at runs of blanks, tabs and line feeds, and joined with
//   the list's own blank (the first it holds: a blank, a tab, or a line feed; else a blank).
// An empty value holds no item. Items given to add are split the same way, and added each where it is
// not there yet.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twini {

inline constexpr std::string_view default_list_separator = ", ";

// The value with the items added at its end; nothing when every one of them is there already.
std::optional<std::string> with_items(std::string_view value, std::string_view items,
                                      std::string_view separator);

// The value without the first item equal to item; nothing when no item is.
std::optional<std::string> without_item(std::string_view value, std::string_view item,
                                        std::string_view separator);

}  // namespace twini
