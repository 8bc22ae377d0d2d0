#include "merged_view.hpp"

namespace tw_ini::detail {

void merged_view::catch_up(const tables& t) {
    if (built_ && headers_ == t.header_count() && settings_ == t.setting_count()) return;
    sections_.clear();
    by_name_.clear();
    for (std::int32_t k = 0; k < t.header_count(); ++k) {
        const auto [at, fresh] = by_name_.emplace(t.decoded(t.header_name(k)), section_count());
        if (fresh) sections_.push_back({k, {}, {}});
        section& s = sections_[static_cast<std::size_t>(at->second)];
        const header_slot& h = t.header(k);
        for (std::int32_t v = h.start; v < h.start + h.count; ++v) {
            const auto [key, new_key] =
                s.keys.emplace(t.decoded(t.setting_name(v)), static_cast<std::int32_t>(s.settings.size()));
            if (new_key) {
                s.settings.push_back(v);
            } else {
                s.settings[static_cast<std::size_t>(key->second)] = v;
            }
        }
    }
    built_ = true;
    headers_ = t.header_count();
    settings_ = t.setting_count();
}

std::int32_t merged_view::find(const platform::string& name) const {
    const auto at = by_name_.find(name);
    return at == by_name_.end() ? -1 : at->second;
}

std::int32_t merged_view::setting_at(std::int32_t i, std::int32_t p) const noexcept {
    const auto& settings = sections_[static_cast<std::size_t>(i)].settings;
    if (p < 0 || static_cast<std::size_t>(p) >= settings.size()) return -1;
    return settings[static_cast<std::size_t>(p)];
}

std::int32_t merged_view::find_setting(std::int32_t i, const platform::string& key) const {
    const section& s = sections_[static_cast<std::size_t>(i)];
    const auto at = s.keys.find(key);
    return at == s.keys.end() ? -1 : s.settings[static_cast<std::size_t>(at->second)];
}

}  // namespace tw_ini::detail
