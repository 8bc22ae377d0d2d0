#include "load.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/line_scanner.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace tw_ini::detail {
namespace {

// Large enough that the system calls cost little, small enough that a piece is still in the cache when
// it is scanned.
constexpr std::size_t read_size = platform::buffer_size(256 * 1024);

// Files each line the scanner finds, from the tables' store: the scanned run starts at `origin` of it.
struct filer {
    tables& t;
    std::size_t origin;
    void operator()(std::size_t at, std::string_view text, std::size_t equals) const {
        t.file_loaded(static_cast<std::uint32_t>(origin + at), line_view<char>{text, equals});
    }
};

}  // namespace

void load_file(tables& t, platform::file& source, platform::line_ends ends, platform::encoding set) {
    text_store& text = t.text();
    const std::size_t start = text.size();
    platform::scan::line_scanner scanner(ends == platform::line_ends::lf, filer{t, start});
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
