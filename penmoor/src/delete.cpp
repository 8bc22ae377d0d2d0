// The operations that remove text: deleteSetting and deleteHeader, each one pass over the locked file
// (edit_file.hpp).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "edit_file.hpp"
#include "line_rules.hpp"
#include "pass.hpp"
#include "penmoor/ini.hpp"

namespace penmoor {
namespace {

// Counts the distinct setting names of a section exactly, in memory that follows the number of names,
// not their length: a name longer than kept_whole is kept as its length, a hash and the place of its
// line in the file, and told apart from another of the same hash by reading both back.
class distinct_names {
  public:
    explicit distinct_names(platform::file& source) : source_(source) {}

    // The name of the pass's current line, a setting line, which is read to its end.
    void add(pass& p) {
        const std::string_view head = p.text();
        const auto eq = head.find('=');
        if (eq != std::string_view::npos && eq <= kept_whole) {
            short_.emplace(head.substr(0, eq));
            return;
        }
        std::uint64_t hash = offset_basis;
        std::uint64_t length = 0;
        bool ended = false;
        auto take = [&](std::string_view piece) {
            if (ended) return;
            const auto stop = piece.find('=');
            if (stop != std::string_view::npos) {
                piece = piece.substr(0, stop);
                ended = true;
            }
            for (const char c : piece) hash = (hash ^ static_cast<unsigned char>(c)) * prime;
            length += piece.size();
        };
        take(head);
        if (!p.whole()) p.lines().each_rest(take);
        const long_name name{length, p.lines().line_offset()};
        const auto [first, last] = long_.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            if (same(it->second, name)) return;
        }
        long_.emplace(hash, name);
    }

    int count() const { return static_cast<int>(short_.size() + long_.size()); }

  private:
    static constexpr std::size_t kept_whole = 256;
    static constexpr std::uint64_t offset_basis = 14695981039346656037ull;  // FNV-1a
    static constexpr std::uint64_t prime = 1099511628211ull;

    struct long_name {
        std::uint64_t length;
        off_t offset;  // where its line, and so the name, starts
    };

    // Reads as much of [offset, offset + count) as the file holds.
    std::size_t read_fully(char* buffer, std::size_t count, off_t offset) {
        std::size_t done = 0;
        while (done < count) {
            const std::size_t n =
                source_.read_at(buffer + done, count - done, offset + static_cast<off_t>(done));
            if (n == 0) break;
            done += n;
        }
        return done;
    }

    bool same(const long_name& a, const long_name& b) {
        if (a.length != b.length) return false;
        char x[4096], y[4096];
        for (std::uint64_t done = 0; done < a.length;) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(sizeof x, a.length - done));
            const auto at = static_cast<off_t>(done);
            if (read_fully(x, n, a.offset + at) != n || read_fully(y, n, b.offset + at) != n) return false;
            if (std::memcmp(x, y, n) != 0) return false;
            done += n;
        }
        return true;
    }

    platform::file& source_;
    std::unordered_set<std::string> short_;
    std::unordered_multimap<std::uint64_t, long_name> long_;
};

}  // namespace

// Drops every setting line of the name in the first occurrence of the section, which ends at the next
// line beginning with "[" (a repeat of the same header line included).
platform::boolean ini::deleteSetting(const platform::string& Header, const platform::string& Setting) {
    const auto name = rules::file_text(Setting);
    return edit(target(), {TW_NOFILE}, copying::lines,
                [&](platform::file& in, platform::line_writer& out, platform::line_ends ends) -> outcome {
                    pass p(in, ends, rules::header_line(Header), name ? name->size() : 0, &out);
                    if (!p.to_header()) return {{TW_NOHEADER, TW_NOHEADER}};  // isHeader's, then its own
                    bool dropped = false;
                    const auto found = p.edit_first_occurrence(name, [&](pass& line) {
                        line.drop();
                        dropped = true;
                        return true;
                    });
                    if (found == pass::search::ended_by_header)
                        return {{TW_NOSETTING, TW_NOSETTING}};  // isSetting's, its own
                    // Not in the section; or only beyond a repeat of the header line, where the copy does not
                    // go.
                    if (found == pass::search::end_of_file || !dropped) return {{TW_NOSETTING}};
                    p.copy_rest();
                    return {{}, true};
                });
}

// Drops every header line of the section, wherever it stands, and the setting lines that follow any of
// them up to the next line beginning with "[" that is not itself a repeat: no setting of the deleted
// section is left behind under another section or under none. Lines without "=" stay. The copy starts
// with two empty lines.
//
// The events are those of emptying the section one setting name at a time, then removing its header
// lines: a hasWrite for each distinct name of its first occurrence, then one more. They are raised once
// the file is replaced, so a handler sees the file as it is after the whole deletion.
platform::boolean ini::deleteHeader(const platform::string& Header) {
    return edit(target(), {TW_NOFILE}, copying::lines,
                [&](platform::file& in, platform::line_writer& out, platform::line_ends ends) -> outcome {
                    out.write_line(out.end());
                    pass p(in, ends, rules::header_line(Header), 0, &out);
                    if (!p.to_header()) return {{TW_NOHEADER, TW_NOHEADER}};  // isHeader's, then its own
                    p.drop();
                    distinct_names names(in);
                    for (;;) {
                        if (!p.section().in_any()) {  // up to a later repeat of the header line, if any
                            if (!p.to_header()) break;
                            p.drop();
                            continue;
                        }
                        if (!p.next()) break;
                        const auto& kind = p.kind();
                        if (kind.header || (kind.any && p.holds_equals())) {
                            if (kind.first && !kind.header) names.add(p);
                            p.drop();
                        } else {
                            p.copy();
                        }
                    }
                    return {{}, true, names.count()};
                });
}

}  // namespace penmoor
