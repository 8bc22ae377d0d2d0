// The line reader, its fast passage over lines, the line writer and the Windows-1252 codec on
// arbitrary bytes. The first byte picks the buffer size (2 to 317 bytes) and whether a lone LF ends a line,
// the second the text to pass over to.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "collector.hpp"
#include "memory_file.hpp"
#include "split_lines.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/line_writer.hpp"
#include "tarnwick/files/scans.hpp"

namespace {

using test::collector;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t buffer_size = 2 + data[0] % 64 * ((data[0] & 0x40) != 0 ? 5 : 1);
    const bool lf = (data[0] & 0x80) != 0;
    const auto ends = lf ? platform::line_ends::lf : platform::line_ends::crlf;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const auto expected = test::split_lines(bytes, lf);

    // Every line, one by one.
    std::vector<char> buffer(buffer_size);
    {
        platform::file f = fuzz::memory_file(bytes);
        platform::line_reader reader(f, buffer, ends);
        std::vector<std::string> got;
        std::string_view line;
        while (reader.next(line)) got.emplace_back(line);
        check(got == expected);
    }
    // Passing over lines to a chosen one, then reading on.
    if (!expected.empty()) {
        // A line of the file, or any slice of its bytes (which may hold line breaks).
        std::string target = expected[data[1] % expected.size()];
        if ((data[1] & 0x80) != 0 && !bytes.empty()) {
            const std::size_t from = data[1] % bytes.size();
            target = std::string(bytes.substr(from, 1 + data[0] % 16));
        }
        platform::file f = fuzz::memory_file(bytes);
        platform::line_reader reader(f, buffer, ends);
        collector passed(lf);
        const bool found = reader.skip_to(target, &passed);
        std::size_t at = 0;
        while (at < expected.size() && expected[at] != target) ++at;
        check(found == (at < expected.size()));
        check(passed.got ==
              std::vector<std::string>(expected.begin(), expected.begin() + static_cast<long>(at)));
        check(bytes.substr(0, passed.exact.size()) == passed.exact);
        std::string_view line;
        for (std::size_t i = at + 1; i < expected.size(); ++i)
            check(reader.next(line) && line == expected[i]);
        check(!reader.next(line));
    }
    // Passing over lines to one that may open a named section: none that does is passed over.
    {
        const bool indented = (data[1] & 0x40) != 0;
        const std::string name(bytes.substr(0, std::min<std::size_t>(bytes.size(), data[1] % 4)));
        auto bracket_at = [&](const std::string& line) {
            const std::size_t at = indented ? line.find_first_not_of(" \t") : 0;
            return at < line.size() && line[at] == '[' ? at : std::string::npos;
        };
        auto opens = [&](const std::string& line) {
            const std::size_t at = bracket_at(line);
            return at != std::string::npos && line.compare(at + 1, name.size(), name) == 0 &&
                   line.size() > at + 1 + name.size() && line[at + 1 + name.size()] == ']';
        };
        platform::file f = fuzz::memory_file(bytes);
        platform::line_reader reader(f, buffer, ends);
        collector passed(lf);
        const std::string_view names[] = {name};
        const bool found = reader.skip_to_bracket(&passed, indented, names);
        const std::size_t at = passed.got.size();
        check(at <= expected.size() && found == (at < expected.size()));
        for (std::size_t i = 0; i < at; ++i) check(passed.got[i] == expected[i] && !opens(expected[i]));
        // Or, indented, a line longer than the buffer whose start fills it with blanks, which only its head
        // can tell.
        auto long_blank = [&](const std::string& line) {
            return indented && line.size() >= buffer_size && line.find_first_not_of(" \t") >= buffer_size;
        };
        if (found) check(bracket_at(expected[at]) != std::string::npos || long_blank(expected[at]));
        std::string_view line;
        for (std::size_t i = at; i < expected.size(); ++i) check(reader.next(line) && line == expected[i]);
        check(!reader.next(line));
    }
    // The writer's runs of raw lines come out as the lines, each with the mode's terminator.
    {
        platform::file source = fuzz::memory_file(bytes);
        platform::line_reader reader(source, buffer, ends);
        platform::file sink = fuzz::memory_file("");
        std::vector<char> out_buffer(1 + data[1] % 64);
        platform::line_writer writer(sink, out_buffer, ends);
        reader.pass_all(writer);
        writer.flush();
        std::string joined;
        for (const auto& l : expected) joined += l + (lf ? "\n" : "\r\n");
        ::lseek(sink.fd(), 0, SEEK_SET);
        std::string written(joined.size() + 1, '\0');
        const std::size_t n = sink.read(written.data(), written.size());
        check(written.substr(0, n) == joined);
    }
    // Streamed lines with a short head: the head, what is looked for ahead, and the rest make the line.
    {
        platform::file f = fuzz::memory_file(bytes);
        platform::line_reader reader(f, buffer, ends);
        collector copied(lf);
        std::size_t i = 0;
        for (platform::line_head h; reader.head(h, 1 + data[1] % 8); ++i) {
            check(i < expected.size());
            check(h.whole ? h.text == expected[i] : expected[i].starts_with(h.text));
            const bool equals_after = expected[i].find('=', h.text.size()) != std::string::npos;
            check(h.whole || reader.rest_contains('=') == equals_after);
            if (i % 2) {
                reader.copy_line(copied);
            } else {
                std::string line(h.text);
                reader.append_rest(line);
                check(line == expected[i]);
                copied.got.push_back(line);
            }
        }
        check(copied.got == expected);
    }
    // An exact copy is the file byte for byte.
    {
        platform::file source = fuzz::memory_file(bytes);
        platform::line_reader reader(source, buffer, ends);
        collector copied(lf);
        reader.pass_all(copied);
        check(copied.exact == bytes);
    }
    // Every byte decodes and encodes back to itself.
    const auto back = platform::cp1252::encode(platform::cp1252::decode(bytes));
    check(back && *back == bytes);

    // The vector scans answer as their plain forms do, from every start, for a name of the input's.
    {
        const std::string_view name = bytes.substr(0, std::min<std::size_t>(data[1] % 24, bytes.size()));
        for (std::size_t from = 0; from < std::min<std::size_t>(bytes.size(), 80); ++from) {
            for (const bool more : {false, true}) {
                const char* plain = platform::scan::bracketed_plain(bytes.data(), from, bytes.size(),
                                                                    bytes.size(), name, more);
#if TARNWICK_HAVE_SSE2
                check(platform::scan::bracketed_sse2(bytes.data(), from, bytes.size(), bytes.size(), name,
                                                     more) == plain);
#endif
                (void)plain;
            }
        }
        for (std::size_t at = 0; at + platform::scan::block <= bytes.size(); at += 7) {
            for (const bool ends_at_lf : {false, true}) {
                const auto plain = platform::scan::line_marks_plain(bytes.data() + at, ends_at_lf);
#if TARNWICK_HAVE_SSE2
                check(platform::scan::line_marks_sse2(bytes.data() + at, ends_at_lf) == plain);
#endif
                (void)plain;
            }
        }
    }
    // A line told from its bytes piece by piece is what it is whole, however it is cut.
    for (const std::string& l : expected) {
        namespace ini = platform::ini;
        const ini::line_shape whole = ini::shape_of(l);
        ini::shape_scanner scanner;
        for (std::size_t at = 0; at < l.size(); at += buffer_size)
            scanner.add(std::string_view(l).substr(at, buffer_size));
        const auto cut = scanner.finish();
        check(cut.what == whole.what && cut.indent == whole.indent);
        check(cut.backslash == (whole.what != ini::kind::blank && ini::ends_with_backslash(l)));
        if (whole.what == ini::kind::header) {
            check(cut.close == static_cast<std::size_t>(whole.name.data() - l.data()) + whole.name.size());
        }
        if (whole.what == ini::kind::setting) {
            check(cut.value_at == static_cast<std::size_t>(whole.value.data() - l.data()));
        }
    }
    return 0;
}
