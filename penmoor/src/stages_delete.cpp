// The stage that removes a whole section, and how it counts the distinct setting names it removes.
#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "stages.hpp"
#include "tarnwick/files/file.hpp"

namespace penmoor {
namespace {

using engine::dialect;
using engine::kind;
using engine::line;

// Counts distinct setting names exactly, in memory that follows the number of names, not their length:
// a name longer than kept_whole is kept as its length, a hash and the place of its line in the file, and
// told apart from another of the same hash by reading both back.
class distinct_names {
  public:
    // delimiters: what ends a name ("=", or in the common dialect "=" or ":").
    distinct_names(platform::file& source, std::string_view delimiters)
        : source_(source), delimiters_(delimiters) {}

    void add(line& l) {
        const auto& info = l.info();
        if (info.named && info.name.size() <= kept_whole) {
            short_.emplace(info.name);
            return;
        }
        std::uint64_t hash = offset_basis;
        std::uint64_t length = 0;
        bool ended = false;
        l.each_piece([&](std::string_view piece) {
            if (ended) return;
            const auto stop = piece.find_first_of(delimiters_);
            if (stop != std::string_view::npos) {
                piece = piece.substr(0, stop);
                ended = true;
            }
            for (const char c : piece) hash = (hash ^ static_cast<unsigned char>(c)) * prime;
            length += piece.size();
        });
        const long_name name{length, l.offset()};
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
        if (a.length != b.length || a.offset < 0 || b.offset < 0) return false;
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
    std::string_view delimiters_;
    std::unordered_set<std::string> short_;
    std::unordered_multimap<std::uint64_t, long_name> long_;
};

// The header lines a section's deletion keeps: whether two of one section come to stand with no line
// between them that begins another (one of the section deleted having stood there), so that the lookups
// would read the lines after the second as the first's (findings::joins_section).
class kept_headers {
  public:
    // A header line of the section deleted was removed.
    void removed() { removed_ = true; }
    // A line that begins a section was kept among lines passed over unseen: the last of them.
    void passed(const engine::header_name& name) {
        last_ = name;
        removed_ = false;
    }
    // A line that begins a section is kept: true when it joins the one kept before.
    bool joins(const engine::header_name& name) {
        const bool joined = removed_ && last_ && *last_ == name;
        last_ = name;
        removed_ = false;
        return joined;
    }

  private:
    std::optional<engine::header_name> last_;
    bool removed_ = false;
};

// Exact dialect: drops every header line of the section, wherever it stands, and the setting lines
// (lines that hold "=") that follow any of them up to the next line beginning with "[" that is not
// itself a repeat. Lines without "=" stay. The copy starts with two empty lines.
class exact_section_remover final : public section_stage {
  public:
    exact_section_remover(stages::name section, platform::file& source)
        : section_stage(section_cursor(std::move(section), dialect::exact), 0), names_(source, "=") {}

    void start(engine::emitter& out) override { out.make(out.end()); }
    void take(line&& l, engine::emitter& out) override {
        // Lines may have been passed over unseen to reach this one where the stage was waiting.
        const bool after_passed = waiting();
        const auto at = cursor_.step(l.info());
        if (at.header) {
            // The header kept before this one may have stood among them.
            if (const auto passed = out.header_passed_over(); passed && after_passed)
                headers_.passed(*passed);
            found_.header = found_.changed = true;
            headers_.removed();
            return;
        }
        if (at.any && l.holds_equals()) {
            if (at.first) names_.add(l);
            return;
        }
        if (l.info().begins_section)
            found_.joins_section = headers_.joins(name_of(l)) || found_.joins_section;
        out.put(std::move(l));
    }
    void finish(engine::emitter&) override { found_.deletions = names_.count(); }
    bool waiting() const override { return !cursor_.in_any(); }
    bool done() const override { return false; }

  private:
    // The name of a line that begins with "[", read whole where it is longer than its head.
    static engine::header_name name_of(line& l) {
        if (l.whole()) return engine::header_name::of(l.head());
        engine::header_name name;
        l.each_piece([&](std::string_view piece) { name.add(piece); });
        return name.finish();
    }

    distinct_names names_;
    kept_headers headers_;
};

// Common dialect: removes every occurrence of the section whole (header, settings, continuation lines
// and the blank and comment lines among them), with the comment lines directly above its header and the
// blank line that set it off; the comment lines directly above the next header stay with it, after one
// blank line that sets that section off (none at the top of the file). The occurrences of another
// section are all that one section: none can join another.
class common_section_remover final : public section_stage {
  public:
    common_section_remover(stages::name section, platform::file& source, bool bare)
        : section_stage(section_cursor(std::move(section), dialect::common), 0),
          names_(source, platform::ini::delimiters),
          bare_(bare) {
        // The section "" is there from the start: the lines before the first header, if any.
        found_.header = removing_ = cursor_.opened();
    }

    void take(line&& l, engine::emitter& out) override {
        const auto& info = l.info();
        if (info.what == kind::blank || info.what == kind::comment) {
            run_.push_back(out.hold(std::move(l)));
            return;
        }
        const auto at = cursor_.step(info);
        if (at.header) {
            if (!removing_) {
                // The comments directly above belong to this header; the blank line before them set it off.
                const std::size_t block = bare_ ? run_.size() : comment_block();
                put(out, 0, block > 0 && is_blank(run_[block - 1]) && !bare_ ? block - 1 : block);
            }
            run_.clear();
            found_.header = found_.changed = removing_ = true;
            watch_.removed();
            return;
        }
        if (removing_ && !info.begins_section) {
            run_.clear();
            found_.changed = true;
            watch_.removed();
            if (info.what == kind::setting && !info.continuation) names_.add(l);
            return;
        }
        if (removing_) {
            // Another section: its comments, and one blank line before them unless nothing stands above
            // (or a blank line does). Bare, the blank and comment lines before it stay where a comment is
            // among them.
            const bool comments = std::ranges::any_of(run_, [](const line& r) { return !is_blank(r); });
            const std::size_t block = bare_ ? (comments ? 0 : run_.size()) : comment_block();
            const std::size_t from =
                block > 0 && is_blank(run_[block - 1]) && !out.ends_blank() && !bare_ ? block - 1 : block;
            found_.changed = found_.changed || from > 0;
            put(out, from, run_.size());
            run_.clear();
            removing_ = false;
        }
        put(out, 0, run_.size());
        run_.clear();
        found_.joins_value = watch_.moved(l) || found_.joins_value;
        out.put(std::move(l));
    }
    void finish(engine::emitter& out) override {
        if (!removing_) put(out, 0, run_.size());
        found_.changed = found_.changed || (removing_ && !run_.empty());
        run_.clear();
        found_.deletions = names_.count();
    }
    bool waiting() const override { return false; }
    bool done() const override { return false; }

  private:
    static bool is_blank(const line& l) { return l.info().what == kind::blank; }
    // Where the comment lines that end the run start.
    std::size_t comment_block() const {
        std::size_t at = run_.size();
        while (at > 0 && run_[at - 1].info().what == kind::comment) --at;
        return at;
    }
    void put(engine::emitter& out, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            found_.joins_value = watch_.moved(run_[i]) || found_.joins_value;
            out.put(std::move(run_[i]));
        }
    }

    distinct_names names_;
    bool bare_;  // only the section's own lines go (style::bare_section_removal)
    std::vector<line> run_;
    bool removing_ = false;
    value_watch watch_;
};

}  // namespace

std::unique_ptr<section_stage> stages::delete_header(dialect rules, name section, platform::file& source,
                                                     const style& look) {
    if (rules == dialect::exact) return std::make_unique<exact_section_remover>(std::move(section), source);
    return std::make_unique<common_section_remover>(std::move(section), source, look.bare_section_removal);
}

}  // namespace penmoor
