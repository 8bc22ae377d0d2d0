// Lookup by name over the tables: the first header of each name, and within each such header the first
// setting of each name. Two open-addressing hash tables hold slot numbers only; names are compared in
// the tables' own text, as bytes, with the name asked for encoded once.
//
// A header with few settings is searched by scanning them, which is as quick as a lookup; only the
// settings of larger headers go into the index, so that a search costs the same whatever the sizes.
//
// The index is built on first use, not while loading, and then kept up to date with whatever was filed
// since: nothing filed is ever removed, so catching up only adds. Forgetting everything (after a reset of
// the tables) is constant work; the clearing is paid by the next rebuild, in proportion to its size.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tables.hpp"
#include "text_encoding.hpp"

namespace tw_ini::detail {

class name_index {
  public:
    name_index();

    // The tables were reset: nothing indexed is valid any more.
    void forget() noexcept {
        indexed_headers_ = 0;
        indexed_settings_ = 0;
        stale_ = true;
    }

    // The first header named name, or -1.
    std::int32_t find_header(const tables& t, const name_key& name);
    // The first setting named name of header k, as find_header() found it with nothing filed since; or -1.
    std::int32_t find_setting(const tables& t, std::int32_t k, const name_key& name);

  private:
    struct bucket {
        std::uint32_t tag;   // high half of the hash
        std::uint32_t slot;  // slot + 1; 0 marks an empty bucket
    };
    struct range {
        std::int32_t begin, end;
    };

    void catch_up(const tables& t) {
        if (stale_ || t.header_count() != indexed_headers_ || t.setting_count() != indexed_settings_) {
            catch_up_from_behind(t);
        }
    }
    void catch_up_from_behind(const tables& t);
    void rebuild(const tables& t);
    // Equal names hash alike whichever form they are filed in: by their bytes when they have them.
    std::uint64_t hash(const name_key& name) const noexcept;
    std::uint64_t hash(const tables& t, const filed_text& name) const;
    std::uint64_t hash_bytes(std::string_view bytes) const noexcept;
    std::uint64_t hash_units(std::u16string_view units) const noexcept;
    std::int32_t probe_header(const tables& t, const filed_text& name, std::uint64_t h) const noexcept;
    void index_header(const tables& t, std::int32_t k);
    static range settings_to_index(const tables& t, std::int32_t k, std::int32_t from) noexcept;
    void index_settings(const tables& t, std::int32_t k, std::int32_t from);

    std::uint64_t seed_;
    std::vector<bucket> headers_;        // a power of two, at least twice the headers indexed (or empty)
    std::vector<bucket> settings_;       // likewise for the settings indexed
    std::int32_t indexed_headers_ = 0;   // headers and settings filed when the index was last brought up
    std::int32_t indexed_settings_ = 0;  // to date
    std::int32_t setting_entries_ = 0;   // settings in the index
    bool stale_ = false;                 // buckets still hold entries of tables since reset
};

}  // namespace tw_ini::detail
