// Writer operations on arbitrary files, names and values, checked against a plain model: an operation
// changes only the lines it is meant to change (everything else byte for byte, apart from line ends
// after a rewrite), and an operation that fails changes nothing.
//
// Input: operation, fault, three lengths, then the section name, the setting name, the value and the
// file's bytes. A non-zero fault byte makes one file-system call of the operation fail.
#include <cerrno>
#include <cstdint>
#include <string>

#include "fault.hpp"
#include "memory_file.hpp"
#include "split_lines.hpp"
#include "penmoor/ini.hpp"
#include "platform/cp1252.hpp"
#include "platform/sys.hpp"
#include "temp_dir.hpp"
#include "writer_model.hpp"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

class last_event : public penmoor::ini_events {
public:
    void State(std::int16_t&) override { has_write_last = false; }
    void hasWrite() override { has_write_last = true; }
    bool has_write_last = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const int op = data[0] % 6;
    const int fault = data[1];
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
    // Half the runs start with a temporary file left by a failed or killed call; a rewrite must get past
    // it, and a call that rewrites nothing leaves it.
    const bool stale = (data[1] & 1) != 0;
    if (stale) {
        test::write_file(path + ".twtemp", "stale");
    } else {
        std::remove((path + ".twtemp").c_str());
    }
    penmoor::ini w;
    w.File(test::u16(path));
    last_event events;
    w.connect(events);

    const auto H = platform::cp1252::decode(header), S = platform::cp1252::decode(name),
               V = platform::cp1252::decode(value);
    const fuzz::lines ls = test::split_lines(before);
    const std::string header_line = "[" + header + "]";
    std::vector<std::string> states;  // what the file may hold after the operation; the last on success
    bool writes_text = true;
    std::optional<std::string> result;
    switch (op) {
        case 0:
            states.push_back(fuzz::first_index(ls, header_line) >= 0 ? before
                                                                      : before + "\r\n\r\n" + header_line + "\r\n");
            writes_text = header.find('\r') == std::string::npos;
            break;
        case 1:
            states.push_back(fuzz::add_setting(ls, header_line, name, value).value_or(before));
            writes_text = (name + value).find('\r') == std::string::npos;
            break;
        case 2:
            states.push_back(fuzz::update_setting(ls, header_line, name, value).value_or(before));
            writes_text = (name + value).find('\r') == std::string::npos;
            break;
        case 3: {
            const auto out = fuzz::delete_setting(ls, header_line, name);
            states.push_back(out ? fuzz::join(*out) : before);
            break;
        }
        case 4:
            states = fuzz::delete_header(ls, header_line);
            if (states.empty()) states.push_back(before);
            break;
        default:
            states.push_back(before);
            result = fuzz::looked_up(ls, header_line, name).value_or("");
            break;
    }
    states.insert(states.begin(), before);

    int number = 0;
    test::call failed = test::call::any;
    {
        test::fault_injector faults;
        if (fault != 0) faults.fail(test::call::any, fault % 40, fault < 128 ? EIO : ENOSPC);
        try {
            switch (op) {
                case 0: w.addHeader(H); break;
                case 1: w.addSetting(H, S, V); break;
                case 2: w.updateSetting(H, S, V); break;
                case 3: w.deleteSetting(H, S); break;
                case 4: w.deleteHeader(H); break;
                default: check(platform::cp1252::encode(w.getSetting(H, S)) == result); break;
            }
        } catch (const platform::runtime_error& e) {
            number = e.number();
        }
        failed = faults.failed_call();
    }
    platform::sys::calls() = platform::sys::real();
    platform::sys::calls().fsync = [](int) { return 0; };

    const std::string after = test::read_file(path);
    if (!writes_text) {
        check(number == 5 && after == before);  // a CR in written text: refused, nothing touched
    } else if (number == 0) {
        check(after == states.back());
        check(op == 5 || events.has_write_last);
    } else {
        check(std::find(states.begin(), states.end(), after) != states.end());
    }
    // No temporary file is left, unless removing it is what failed, which is then reported.
    if (!stale) check(!test::exists(path + ".twtemp") || (number != 0 && failed == test::call::unlink));
    return 0;
}
