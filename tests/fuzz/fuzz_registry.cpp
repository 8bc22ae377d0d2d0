// The registry reader on arbitrary file bytes. It never crashes; a file it accepts, written out again,
// reads back as the same entries; and a registration into it keeps every other class as it was.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "memory_file.hpp"
#include "tarnwick/components/registry.hpp"
#include "tarnwick/files/sys.hpp"
#include "temp_dir.hpp"

namespace {

namespace reg = platform::registry;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool same_id(const twc_guid& a, const twc_guid& b) {
    return twc_guid_equal(&a, &b) != 0;
}

bool same(const reg::entry& a, const reg::entry& b) {
    return same_id(a.class_id, b.class_id) && a.prog_id == b.prog_id && a.path == b.path &&
           a.threading_model == b.threading_model && a.misc_status == b.misc_status &&
           a.toolbox_bitmap == b.toolbox_bitmap && same_id(a.type_library, b.type_library) &&
           a.type_library_name == b.type_library_name && a.type_library_version == b.type_library_version &&
           a.help_string == b.help_string;
}

bool same(const std::vector<reg::entry>& a, const std::vector<reg::entry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same(a[i], b[i])) return false;
    }
    return true;
}

bool same_prog_id(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Durability is not what is checked here: flushing to disk would only slow the search down.
    platform::sys::calls().fsync = [](int) { return 0; };
    ::umask(022);  // the registry is refused when others may write it
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = fuzz::scratch_dir() + "/registry";
    test::write_file(file, std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<reg::entry> entries;
    try {
        entries = reg::load(file);
    } catch (const reg::error&) {
        return 0;
    }
    for (const reg::entry& e : entries) check(!e.path.empty() && e.path.front() == '/');

    // Written out and read back: the same entries, in the same order.
    test::write_file(file, reg::serialise(entries));
    check(same(reg::load(file), entries));

    // A registration replaces the class of its id or ProgID and keeps every other.
    reg::entry added;
    added.class_id = *reg::parse_guid("{1586DEDE-9569-4721-8175-178F054C778E}");
    added.prog_id = "Fuzz.Class";
    added.path = "/usr/lib/fuzz.so";
    std::vector<reg::entry> expected;
    for (const reg::entry& e : entries) {
        if (!same_id(e.class_id, added.class_id) && !same_prog_id(e.prog_id, added.prog_id))
            expected.push_back(e);
    }
    expected.push_back(added);
    reg::add(file, added);
    check(same(reg::load(file), expected));
    return 0;
}
