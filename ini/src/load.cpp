#include "load.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/line_end.hpp"
#include "tarnwick/files/scans.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace tw_ini::detail {
namespace {

// Large enough that the system calls cost little, small enough that a piece is still in the cache when
// it is scanned.
constexpr std::size_t read_size = platform::buffer_size(256 * 1024);

constexpr std::size_t npos = std::string_view::npos;

using platform::scan::block;
using platform::scan::marks;

marks find_marks(const char* p, bool lf_ends) noexcept {
    return platform::scan::line_marks(p, lf_ends);
}

// Finds the lines of a growing run of bytes, block by block, and files each one as soon as its end is
// known. Only offsets are kept between calls, since the run may move as it grows.
class line_scanner {
  public:
    // The run starts at offset `origin` of the tables' store.
    line_scanner(tables& t, std::size_t origin, bool lf_ends) noexcept
        : tables_(t), origin_(origin), lf_ends_(lf_ends) {}

    // Starts the first line at `at` instead of the run's first byte (past a byte-order mark); before
    // anything is scanned.
    void start_at(std::size_t at) noexcept { line_ = at; }

    // Files the lines that end in [0, size), more of the run to come. A CR is settled only once the byte
    // after it is there to say whether it starts a CR LF, so the last byte is left for the next call.
    void scan(const char* base, std::size_t size) {
        for (; next_ + block < size; next_ += block)
            look_at(base, next_, find_marks(base + next_, lf_ends_), size);
    }

    // Files the rest: the run ends at size.
    void finish(const char* base, std::size_t size) {
        for (; next_ < size; next_ += block) {
            char padded[block] = {};
            std::memcpy(padded, base + next_, std::min(block, size - next_));
            look_at(base, next_, find_marks(padded, lf_ends_), size);
        }
        if (line_ < size) file(base, size);
    }

  private:
    // The marks of the block at `at`, in order.
    void look_at(const char* base, std::size_t at, marks m, std::size_t size) {
        for (;;) {
            if (line_ > at) {
                // Bytes before the line's start belong to lines already filed (an LF of a CR LF, or all
                // of the block when a CR LF straddles its end).
                const std::size_t skip = line_ - at;
                const std::uint64_t keep = skip >= block ? 0 : ~std::uint64_t{0} << skip;
                m.ends &= keep;
                m.equals &= keep;
            }
            if (equals_ == npos && m.equals != 0) {
                const std::size_t first = at + static_cast<std::size_t>(__builtin_ctzll(m.equals));
                if (m.ends == 0 || first < at + static_cast<std::size_t>(__builtin_ctzll(m.ends)))
                    equals_ = first;
            }
            if (m.ends == 0) return;
            const std::size_t end = at + static_cast<std::size_t>(__builtin_ctzll(m.ends));
            file(base, end);
            line_ = end + platform::line_end::length(std::string_view(base, size), end);
            equals_ = npos;
        }
    }

    // Files the line from line_ to end.
    void file(const char* base, std::size_t end) {
        const std::size_t equals = equals_ == npos ? npos : equals_ - line_;
        tables_.file_loaded(static_cast<std::uint32_t>(origin_ + line_),
                            line_view<char>{std::string_view(base + line_, end - line_), equals});
    }

    tables& tables_;
    const std::size_t origin_;
    const bool lf_ends_;
    std::size_t line_ = 0;       // where the line being scanned starts
    std::size_t next_ = 0;       // the first byte not yet looked at
    std::size_t equals_ = npos;  // the first "=" of the line being scanned, once seen
};

}  // namespace

void load_file(tables& t, platform::file& source, platform::line_ends ends, platform::encoding set) {
    text_store& text = t.text();
    const std::size_t start = text.size();
    line_scanner scanner(t, start, ends == platform::line_ends::lf);
    // As found, the set is known only once every byte is: the file is read whole, then scanned.
    const bool as_found = set == platform::encoding::as_found;
    if (set != platform::encoding::as_found) {
        t.set_encoding(set == platform::encoding::utf8 ? platform::encoding::utf8
                                                       : platform::encoding::cp1252);
    }
    bool bom_checked = set == platform::encoding::cp1252;
    const auto check_bom = [&] {
        const std::string_view first(text.data() + start, std::min<std::size_t>(3, text.size() - start));
        if (first == platform::utf8_bom) scanner.start_at(3);
        bom_checked = true;
    };
    for (bool sized = false;;) {
        std::size_t available;
        char* at = text.room(1, available);
        const std::size_t n = source.read(at, std::min(available, read_size));
        if (n == 0) break;
        text.commit(n);
        if (n == available && !sized) {
            // More than the store had room for: room for the whole file and one byte more, for the read
            // that finds its end, so that a file that does not change while it loads takes memory of its
            // own size, taken once. A small file never gets here and is spared the system call.
            sized = true;
            const off_t size = source.status().st_size;
            if (size > 0) text.reserve(start + static_cast<std::size_t>(size) + 1);
        }
        if (!bom_checked && text.size() - start >= 3) check_bom();
        if (!as_found) scanner.scan(text.data() + start, text.size() - start);
    }
    if (!bom_checked) check_bom();
    if (as_found) {
        std::string_view bytes(text.data() + start, text.size() - start);
        const bool utf8 = bytes.starts_with(platform::utf8_bom) || platform::codec::valid_utf8(bytes);
        t.set_encoding(utf8 ? platform::encoding::utf8 : platform::encoding::cp1252);
        scanner.scan(text.data() + start, text.size() - start);
    }
    scanner.finish(text.data() + start, text.size() - start);
}

}  // namespace tw_ini::detail
