// The tables as the common dialect reads them (Dialect 1): every occurrence of a section is the section,
// and the last setting of a name in it is the one that counts. Each section is listed once, where its
// first header stands; each of its keys once, where it first stands, with the slot of its last setting.
//
// Built from the tables on first use and again whenever lines were filed since; names are keyed by their
// interface text, so the view costs nothing where the exact rules are asked for.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tables.hpp"

namespace tw_ini::detail {

class merged_view {
  public:
    // The tables were reset.
    void forget() noexcept { built_ = false; }
    // Brings the view up to date with the tables.
    void catch_up(const tables& t);

    std::int32_t section_count() const noexcept { return static_cast<std::int32_t>(sections_.size()); }
    // The first header slot of section i.
    std::int32_t header_of(std::int32_t i) const noexcept {
        return sections_[static_cast<std::size_t>(i)].header;
    }
    // The section of that name, or -1.
    std::int32_t find(const platform::string& name) const;
    // Section i's keys.
    std::int32_t key_count(std::int32_t i) const noexcept {
        return static_cast<std::int32_t>(sections_[static_cast<std::size_t>(i)].settings.size());
    }
    // The setting slot of section i's key at position p (the last setting of that key), or -1.
    std::int32_t setting_at(std::int32_t i, std::int32_t p) const noexcept;
    // The setting slot of section i's key of that name, or -1.
    std::int32_t find_setting(std::int32_t i, const platform::string& key) const;

  private:
    struct section {
        std::int32_t header;
        std::vector<std::int32_t> settings;
        std::unordered_map<platform::string, std::int32_t> keys;  // name to position
    };

    std::vector<section> sections_;
    std::unordered_map<platform::string, std::int32_t> by_name_;
    bool built_ = false;
    std::int32_t headers_ = 0, settings_ = 0;  // what the tables held when the view was built
};

}  // namespace tw_ini::detail
