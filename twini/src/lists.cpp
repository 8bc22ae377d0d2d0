#include "lists.hpp"

#include <algorithm>
#include <vector>

namespace twini {
namespace {

constexpr std::string_view blanks = " \t\n";

std::string_view trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(blanks);
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(blanks) - start + 1);
}

// How a separator splits and joins.
struct list_rule {
    std::string_view mark;  // what splits; empty: runs of blanks
    bool trims;             // items lose the blanks around them
    std::string join;

    list_rule(std::string_view separator, std::string_view value) : mark(trimmed(separator)) {
        trims = mark != separator;
        join = separator;
        if (mark.empty()) {
            const std::size_t blank = value.find_first_of(blanks);
            join = blank == std::string_view::npos ? " " : std::string(1, value[blank]);
        }
    }

    std::vector<std::string_view> split(std::string_view text) const {
        std::vector<std::string_view> items;
        if (trimmed(text).empty()) return items;
        if (mark.empty()) {
            for (std::size_t at = text.find_first_not_of(blanks); at != std::string_view::npos;) {
                const std::size_t stop = std::min(text.find_first_of(blanks, at), text.size());
                items.push_back(text.substr(at, stop - at));
                at = text.find_first_not_of(blanks, stop);
            }
            return items;
        }
        for (std::size_t at = 0;;) {
            const std::size_t stop = std::min(text.find(mark, at), text.size());
            const std::string_view item = text.substr(at, stop - at);
            items.push_back(trims ? trimmed(item) : item);
            if (stop == text.size()) return items;
            at = stop + mark.size();
        }
    }

    std::string joined(const std::vector<std::string_view>& items) const {
        std::string all;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) all += join;
            all += items[i];
        }
        return all;
    }
};

bool same_item(std::string_view a, std::string_view b) {
    return trimmed(a) == trimmed(b);
}

}  // namespace

std::optional<std::string> with_items(std::string_view value, std::string_view items,
                                      std::string_view separator) {
    const list_rule rule(separator, value);
    std::vector<std::string_view> all = rule.split(value);
    const std::size_t before = all.size();
    for (const std::string_view item : rule.split(items)) {
        if (std::ranges::none_of(all, [&](std::string_view there) { return same_item(there, item); }))
            all.push_back(item);
    }
    if (all.size() == before) return std::nullopt;
    // Items that keep their blanks keep the value's text as it was, the new ones joined after it.
    if (!rule.trims && !rule.mark.empty() && before > 0) {
        std::string kept(value);
        for (std::size_t i = before; i < all.size(); ++i) kept += rule.join + std::string(all[i]);
        return kept;
    }
    return rule.joined(all);
}

std::optional<std::string> without_item(std::string_view value, std::string_view item,
                                        std::string_view separator) {
    const list_rule rule(separator, value);
    std::vector<std::string_view> all = rule.split(value);
    const auto found =
        std::ranges::find_if(all, [&](std::string_view there) { return same_item(there, item); });
    if (found == all.end()) return std::nullopt;
    all.erase(found);
    return rule.joined(all);
}

}  // namespace twini
