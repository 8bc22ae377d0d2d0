// Writer operations on arbitrary files, names and values, checked against a plain model: an operation
// changes only the lines it is meant to change (everything else byte for byte, apart from line ends
// after a rewrite), raises the State codes and hasWrite events that the model's step-by-step reading
// gives, and an operation that fails changes nothing.
//
// Input: operation and LineEnds, fault, three lengths, then the section name, the setting name, the
// value and the file's bytes. The fault byte: bit 0 leaves a stale temporary file; the rest picks one
// disturbance of the file system: a failing call, reads and writes cut short, or every transfer
// interrupted.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fault.hpp"
#include "memory_file.hpp"
#include "penmoor/ini.hpp"
#include "split_lines.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/sys.hpp"
#include "temp_dir.hpp"
#include "writer_model.hpp"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

class recorder : public penmoor::ini_events {
  public:
    void State(std::int16_t& code) override { events.push_back(code); }
    void hasWrite() override { events.push_back(0); }
    std::vector<std::int16_t> events;  // 0 stands for hasWrite
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const int op = data[0] % 6;
    const auto mode = static_cast<std::int16_t>(data[0] / 6 % 3);
    const int fault = data[1] >> 1;
    std::size_t at = 5;
    auto field = [&](std::size_t length) {
        length = std::min<std::size_t>(length % 16, size - at);
        std::string text(reinterpret_cast<const char*>(data) + at, length);
        at += length;
        return text;
    };
    const std::string header = field(data[2]), name = field(data[3]), value = field(data[4]);
    const std::string before(reinterpret_cast<const char*>(data) + at, size - at);

    // Durability is not what is checked here: flushing to disk would only slow the search down.
    platform::sys::calls().fsync = [](int) { return 0; };
    const std::string path = fuzz::scratch_dir() + "/app.ini";
    test::write_file(path, before);
    // Half the runs start with a temporary file left by a failed or killed call; an edit must get past
    // it, and a call that changes nothing leaves it.
    const bool stale = (data[1] & 1) != 0;
    if (stale) {
        test::write_file(path + ".twtemp", "stale");
    } else {
        std::remove((path + ".twtemp").c_str());
    }
    penmoor::ini w;
    w.File(test::u16(path));
    recorder seen;
    w.connect(seen);

    const auto H = platform::cp1252::decode(header), S = platform::cp1252::decode(name),
               V = platform::cp1252::decode(value);
    // Where lines end, as LineEnds says: 0 CR LF, 1 LF, 2 as the file's first line end says.
    const bool lf = fuzz::lf_ends(mode, before);
    const std::string end = lf ? "\n" : "\r\n";
    w.LineEnds(mode);
    const fuzz::lines ls = test::split_lines(before, lf);
    const std::string header_line = "[" + header + "]";
    const bool has_header = fuzz::first_index(ls, header_line) >= 0;
    const auto [found, lookup_codes] = fuzz::is_setting(ls, header_line, name);
    std::string after_success = before;  // the file after the operation, when it ends normally
    std::vector<std::int16_t> expected;  // its events, 0 for hasWrite
    bool writes_text = true;
    auto codes = [&](std::vector<std::int16_t> more) {
        expected.insert(expected.end(), more.begin(), more.end());
    };
    std::optional<std::string> result;
    // What the core refuses (run-time error 5, no event, the file as it was): an edit that leaves the key
    // the lookups find where it stands, after a repeat of the header; where line ends are as found and
    // are CR LF, an edit of a line that holds a lone LF; a deletion that joins two parts of a section; as
    // found, a key added beside one that differs only by blanks.
    const bool crlf_as_found = mode == 2 && !lf;
    bool refused = false;
    switch (op) {
        case 1:
            refused = mode == 2 && has_header && !found && fuzz::near_key(ls, header_line, name);
            break;
        case 2:
        case 3:
            refused = found && (fuzz::beyond_repeat(ls, header_line, name, op == 2) ||
                                (crlf_as_found && fuzz::edits_line_feed(ls, header_line, name, op == 2)));
            break;
        case 4:
            refused = has_header && fuzz::joins_section(ls, header_line);
            break;
        default:
            break;
    }
    switch (op) {
        case 0:
            writes_text = header.find_first_of(mode == 0 ? "\r" : "\r\n") == std::string::npos;
            if (has_header) {
                codes({16});
            } else {
                // Appended as bytes; where a lone LF ends lines, a last line that ends with a lone CR gets
                // an LF first, so that the CR and the first LF appended are not one CR LF.
                after_success =
                    before + (lf && before.ends_with('\r') ? "\n" : "") + end + end + header_line + end;
                codes({1});
            }
            break;
        case 1:
            writes_text = (name + value).find_first_of(mode == 0 ? "\r" : "\r\n") == std::string::npos &&
                          fuzz::reads_back(name);
            after_success = fuzz::add_setting(ls, header_line, name, value, end).value_or(before);
            codes(lookup_codes);
            if (found) {
                codes({256});
            } else if (!has_header) {
                codes({1, 1});
            }
            break;
        case 2:
            writes_text = (name + value).find_first_of(mode == 0 ? "\r" : "\r\n") == std::string::npos &&
                          fuzz::reads_back(name);
            after_success = fuzz::update_setting(ls, header_line, name, value, end).value_or(before);
            codes(lookup_codes);
            if (found) codes(fuzz::update_codes(ls, header_line, name));
            break;
        case 3: {
            const auto out = fuzz::delete_setting(ls, header_line, name);
            if (out) after_success = fuzz::join(*out, end);
            if (!has_header) {
                codes({1, 1});
            } else {
                codes(lookup_codes);
                if (!out) codes({2});
            }
            break;
        }
        case 4: {
            const auto states = fuzz::delete_header(ls, header_line, end);
            if (states.empty()) {
                codes({1, 1});
            } else {
                after_success = states.back();
                // One hasWrite for each setting name deleted on the way, before the final one.
                expected.insert(expected.end(), states.size() - 1, 0);
            }
            break;
        }
        default:
            codes(lookup_codes);
            result = fuzz::looked_up(ls, header_line, name).value_or("");
            break;
    }
    if (op != 5) expected.push_back(0);

    int number = 0;
    test::call failed = test::call::any;
    {
        test::fault_injector faults;
        switch (fault % 4) {
            case 1:
                faults.fail(test::call::any, 1 + fault / 4 % 40, fault / 4 < 20 ? EIO : ENOSPC);
                break;
            case 2:
                faults.short_counts(1 + static_cast<std::size_t>(fault / 4));
                break;
            case 3:
                faults.interrupt_every_transfer();
                break;
            default:
                break;
        }
        try {
            switch (op) {
                case 0:
                    w.addHeader(H);
                    break;
                case 1:
                    w.addSetting(H, S, V);
                    break;
                case 2:
                    w.updateSetting(H, S, V);
                    break;
                case 3:
                    w.deleteSetting(H, S);
                    break;
                case 4:
                    w.deleteHeader(H);
                    break;
                default:
                    check(platform::cp1252::encode(w.getSetting(H, S)) == result);
                    break;
            }
        } catch (const platform::runtime_error& e) {
            number = e.number();
            if (std::getenv("FUZZ_WRITER_EXPLAIN")) std::fprintf(stderr, "%s\n", e.what());
        }
        failed = faults.failed_call();
    }
    platform::sys::calls() = platform::sys::real();
    platform::sys::calls().fsync = [](int) { return 0; };

    const std::string after = test::read_file(path);
    if (std::getenv("FUZZ_WRITER_EXPLAIN")) {
        std::fprintf(
            stderr,
            "op %d header %s setting %s value %s fault %d\nbefore   %s\nafter    %s\nexpected %s\nerror %d\n",
            op, header.c_str(), name.c_str(), value.c_str(), fault, before.c_str(), after.c_str(),
            after_success.c_str(), number);
    }
    if (!writes_text || (refused && fault % 4 == 0)) {
        // Text that could not be read back as written, refused before anything is looked at; or an edit
        // that the core refuses, before anything changes.
        check(number == 5 && after == before && seen.events.empty());
    } else if (fault % 4 == 0) {
        check(number == 0);
        check(after == after_success);
        check(seen.events == expected);
    } else if (number == 0) {
        check(after == after_success);
        check(seen.events == expected);
    } else {
        // A failure leaves the file as it was, and the events raised are the first of a complete run.
        check(after == before);
        check(seen.events.size() <= expected.size() &&
              std::equal(seen.events.begin(), seen.events.end(), expected.begin()));
        check(op == 5 || seen.events.size() < expected.size());  // never the final hasWrite
    }
    // No temporary file is left, unless removing it is what failed, which is then reported.
    if (!stale) check(!test::exists(path + ".twtemp") || (number != 0 && failed == test::call::unlink));
    return 0;
}
