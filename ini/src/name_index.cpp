#include "name_index.hpp"

#include <algorithm>
#include <cstring>
#include <random>

namespace tw_ini::detail {
namespace {

// Headers with at most this many settings are scanned rather than indexed.
constexpr std::int32_t scanned_settings = 8;

// A seed drawn once per process, so that a file cannot be crafted to make all its names collide.
std::uint64_t process_seed() {
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    }();
    return seed;
}

constexpr std::uint64_t mix(std::uint64_t x) noexcept {
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93u;
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93u;
    x ^= x >> 32;
    return x;
}

std::uint64_t in_header(std::uint64_t name_hash, std::int32_t k) noexcept {
    return mix(name_hash ^ ((static_cast<std::uint64_t>(k) + 1) * 0x9e3779b97f4a7c15u));
}

// Buckets for a number of entries: a power of two, at most half full.
std::size_t table_size(std::int64_t entries) noexcept {
    std::size_t size = 16;
    while (size < 2 * static_cast<std::size_t>(entries)) size *= 2;
    return size;
}

// Whether two filed names are equal, in whichever forms they are filed.
bool same(const tables& t, const filed_text& a, const filed_text& b) {
    if (a.wide == b.wide) return a.wide ? a.units == b.units : a.bytes == b.bytes;
    const filed_text& wide = a.wide ? a : b;
    const filed_text& narrow = a.wide ? b : a;
    return t.decoded(narrow) == wide.units;
}

}  // namespace

name_index::name_index() : seed_(process_seed()) {}

namespace {

// The two halves of the full product, folded: one multiplication mixes two words.
inline std::uint64_t fold(std::uint64_t a, std::uint64_t b) noexcept {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

// The words of a name, two at a time, then its length. A name of up to 16 bytes costs two
// multiplications.
template <class Words>
std::uint64_t hash_words(std::uint64_t seed, std::size_t size, Words words) noexcept {
    constexpr std::uint64_t odd0 = 0xa0761d6478bd642fu, odd1 = 0xe7037ed1a0b428dbu;
    std::uint64_t h = seed;
    const std::size_t n = word_count(size);
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) h = fold(words(i) ^ h ^ odd0, words(i + 1) ^ odd1);
    if (i < n) h = fold(words(i) ^ h ^ odd0, odd1);
    return fold(h ^ odd1, size ^ odd0);
}

// The slot that the buckets hold for hash h and that `equal` accepts, or -1: linear probing from the
// bucket the hash names up to the first empty one.
template <class Buckets, class Equal>
std::int32_t probe(const Buckets& buckets, std::uint64_t h, Equal equal) {
    const auto tag = static_cast<std::uint32_t>(h >> 32);
    const std::size_t mask = buckets.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const auto b = buckets[i];
        if (b.slot == 0) return -1;
        const auto slot = static_cast<std::int32_t>(b.slot - 1);
        if (b.tag == tag && equal(slot)) return slot;
    }
}

}  // namespace

std::uint64_t name_index::hash_bytes(std::string_view name) const noexcept {
    return hash_words(seed_, name.size(), [name](std::size_t i) { return word(name, i); });
}

std::uint64_t name_index::hash_units(std::u16string_view name) const noexcept {
    return hash_bytes({reinterpret_cast<const char*>(name.data()), name.size() * sizeof(char16_t)}) ^ 1;
}

std::uint64_t name_index::hash(const name_key& name) const noexcept {
    if (!name.has_bytes()) return hash_units(name.units());
    return hash_words(seed_, name.size(), [&name](std::size_t i) { return name.word(i); });
}

std::uint64_t name_index::hash(const tables& t, const filed_text& name) const {
    if (!name.wide) return hash_bytes(name.bytes);
    return hash(name_key(name.units, t.encoding()));
}

std::int32_t name_index::find_header(const tables& t, const name_key& name) {
    if (t.header_count() == 0) return -1;
    catch_up(t);
    return probe(headers_, hash(name), [&](std::int32_t k) { return t.header_name(k) == name; });
}

std::int32_t name_index::find_setting(const tables& t, std::int32_t k, const name_key& name) {
    const header_slot& owner = t.header(k);
    const std::int32_t end = owner.start + owner.count;
    if (owner.count <= scanned_settings) {
        for (std::int32_t s = owner.start; s < end; ++s) {
            if (t.setting_name_is(s, name)) return s;
        }
        return -1;
    }
    return probe(settings_, in_header(hash(name), k),
                 [&](std::int32_t s) { return s >= owner.start && s < end && t.setting_name(s) == name; });
}

std::int32_t name_index::probe_header(const tables& t, const filed_text& name,
                                      std::uint64_t h) const noexcept {
    return probe(headers_, h, [&](std::int32_t k) { return same(t, t.header_name(k), name); });
}

void name_index::catch_up_from_behind(const tables& t) {
    const std::int32_t n = t.header_count();
    if (stale_ || table_size(n) > headers_.size()) return rebuild(t);
    // Settings filed since the last update belong to the header that was open then, or to later ones.
    const std::int32_t first = std::max(indexed_headers_ - 1, 0);
    std::int64_t added = 0;
    for (std::int32_t k = first; k < n; ++k) {
        const range r = settings_to_index(t, k, indexed_settings_);
        added += r.end - r.begin;
    }
    if (table_size(setting_entries_ + added) > settings_.size()) return rebuild(t);
    for (std::int32_t k = indexed_headers_; k < n; ++k) index_header(t, k);
    for (std::int32_t k = first; k < n; ++k) index_settings(t, k, indexed_settings_);
    indexed_headers_ = n;
    indexed_settings_ = t.setting_count();
}

void name_index::rebuild(const tables& t) {
    const std::int32_t n = t.header_count();
    std::int64_t indexed = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        const range r = settings_to_index(t, k, 0);
        indexed += r.end - r.begin;
    }
    headers_.assign(table_size(n), bucket{});
    settings_.assign(table_size(indexed), bucket{});
    setting_entries_ = 0;
    for (std::int32_t k = 0; k < n; ++k) index_header(t, k);
    for (std::int32_t k = 0; k < n; ++k) index_settings(t, k, 0);
    indexed_headers_ = n;
    indexed_settings_ = t.setting_count();
    stale_ = false;
}

// A repeated header name keeps the bucket of its first header.
void name_index::index_header(const tables& t, std::int32_t k) {
    const filed_text name = t.header_name(k);
    const std::uint64_t h = hash(t, name);
    const auto tag = static_cast<std::uint32_t>(h >> 32);
    const std::size_t mask = headers_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        bucket& b = headers_[i];
        if (b.slot == 0) {
            b = {tag, static_cast<std::uint32_t>(k) + 1};
            return;
        }
        if (b.tag == tag && same(t, t.header_name(static_cast<std::int32_t>(b.slot - 1)), name)) return;
    }
}

// The settings of header k that an update covering the slots from `from` on adds to the index: none
// while the header is scanned; all of them once it has outgrown scanning since the last update (it had
// at most scanned_settings then); else those from `from` on.
name_index::range name_index::settings_to_index(const tables& t, std::int32_t k, std::int32_t from) noexcept {
    const header_slot& h = t.header(k);
    const std::int32_t end = h.start + h.count;
    if (h.count <= scanned_settings) return {end, end};
    return {from - h.start <= scanned_settings ? h.start : std::max(h.start, from), end};
}

// Only the first header of a name has its settings indexed: a later one is never reached by name. A
// repeated setting name keeps the bucket of its first setting.
void name_index::index_settings(const tables& t, std::int32_t k, std::int32_t from) {
    const range r = settings_to_index(t, k, from);
    if (r.begin >= r.end) return;
    const filed_text header_name = t.header_name(k);
    if (probe_header(t, header_name, hash(t, header_name)) != k) return;
    const header_slot& owner = t.header(k);
    const std::size_t mask = settings_.size() - 1;
    for (std::int32_t s = r.begin; s < r.end; ++s) {
        const filed_text name = t.setting_name(s);
        const std::uint64_t h = in_header(hash(t, name), k);
        const auto tag = static_cast<std::uint32_t>(h >> 32);
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            bucket& b = settings_[i];
            if (b.slot == 0) {
                b = {tag, static_cast<std::uint32_t>(s) + 1};
                ++setting_entries_;
                break;
            }
            const auto other = static_cast<std::int32_t>(b.slot - 1);
            if (b.tag == tag && other >= owner.start && other < r.end && same(t, t.setting_name(other), name))
                break;
        }
    }
}

}  // namespace tw_ini::detail
