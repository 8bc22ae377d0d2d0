#include "penmoor/values.hpp"

#include <array>

namespace penmoor::values {
namespace {

bool same_ignoring_case(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (c != b[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<bool> to_bool(std::string_view text) {
    static constexpr std::array<std::string_view, 4> yes{"true", "yes", "on", "1"};
    static constexpr std::array<std::string_view, 4> no{"false", "no", "off", "0"};
    text = trimmed(text);
    for (std::size_t i = 0; i < yes.size(); ++i) {
        if (same_ignoring_case(text, yes[i])) return true;
        if (same_ignoring_case(text, no[i])) return false;
    }
    return std::nullopt;
}

std::vector<std::string> to_list(std::string_view text, char separator) {
    std::vector<std::string> items;
    if (trimmed(text).empty()) return items;
    for (;;) {
        const std::size_t at = text.find(separator);
        items.emplace_back(trimmed(text.substr(0, at)));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
        if (trimmed(text).empty()) break;  // a separator that ends the list
    }
    return items;
}

std::string list_text(const std::vector<std::string>& items, char separator) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += separator;
        text += items[i];
    }
    if (!items.empty() && items.back().empty()) text += separator;
    return text;
}

std::string list_item_problem(std::string_view item, char separator) {
    if (item.find(separator) != std::string_view::npos)
        return std::string("holds the separator '") + separator + "'";
    if (trimmed(item).size() != item.size()) return "has blanks or tabs at an end, which reading drops";
    return {};
}

}  // namespace penmoor::values
