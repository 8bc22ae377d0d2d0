// The registry's operations, its format and class ids. How the file is found, checked, read and replaced
// is registry_file.cpp's.
#include "tarnwick/components/registry.hpp"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "registry_file.hpp"
#include "tarnwick/components/ascii.hpp"

namespace platform::registry {
namespace {

bool holds_line_break(const entry& e) {
    for (const std::string* s : {&e.prog_id, &e.path, &e.threading_model, &e.type_library_name,
                                 &e.type_library_version, &e.help_string}) {
        if (s->find_first_of("\r\n") != std::string::npos) return true;
    }
    return false;
}

std::uint32_t parse_number(const std::string& text, const std::string& file, int line) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value > UINT32_MAX) {
        throw error("malformed registry '" + file + "': line " + std::to_string(line) + ": not a number");
    }
    return static_cast<std::uint32_t>(value);
}

// Whether a and b are entries of one class: the same class id or the same ProgID.
bool same_class(const entry& a, const entry& b) {
    return twc_guid_equal(&a.class_id, &b.class_id) || component::ascii_iequal(a.prog_id, b.prog_id);
}

}  // namespace

entry entry_of(const twc_class_info& info, std::string path) {
    const twc_type_info& type = *info.type_info;
    entry e;
    e.class_id = type.class_id;
    e.prog_id = info.prog_id;
    e.path = std::move(path);
    e.threading_model = info.threading_model;
    e.misc_status = info.misc_status;
    e.toolbox_bitmap = info.toolbox_bitmap_id;
    e.type_library = type.library_id;
    e.type_library_name = type.library_name;
    e.type_library_version = std::to_string(type.major_version) + "." + std::to_string(type.minor_version);
    e.help_string = type.help_string;
    return e;
}

std::string serialise(const std::vector<entry>& entries, std::string_view comment) {
    std::ostringstream out;
    out << "# " << comment << '\n';
    for (const entry& e : entries) {
        out << '[' << format_guid(e.class_id) << "]\n"
            << "ProgID=" << e.prog_id << '\n'
            << "Path=" << e.path << '\n'
            << "ThreadingModel=" << e.threading_model << '\n'
            << "MiscStatus=" << e.misc_status << '\n'
            << "ToolboxBitmap=" << e.toolbox_bitmap << '\n'
            << "TypeLib=" << format_guid(e.type_library) << '\n'
            << "TypeLibName=" << e.type_library_name << '\n'
            << "TypeLibVersion=" << e.type_library_version << '\n'
            << "HelpString=" << e.help_string << '\n';
    }
    return out.str();
}

std::vector<entry> parse(platform::line_reader& lines, const std::string& file) {
    std::vector<entry> entries;
    int number = 0;
    int section_line = 0;  // of the last class's [class id] line
    auto malformed = [&](int at, const std::string& why) {
        return error("malformed registry '" + file + "': line " + std::to_string(at) + ": " + why);
    };
    // A class names the library a host will load: it must name one, by an absolute path.
    auto check_class = [&] {
        if (!entries.empty() && entries.back().path.empty()) {
            throw malformed(section_line,
                            "class " + format_guid(entries.back().class_id) + " has no library path (Path=)");
        }
    };
    for (std::string_view text; lines.next(text);) {
        const std::string line(text);
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            const auto id = parse_guid(std::string_view(line).substr(1, line.size() - 2));
            if (!id) throw malformed(number, "not a class id");
            check_class();
            entries.emplace_back().class_id = *id;
            section_line = number;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) throw malformed(number, "expected Name=value");
        if (entries.empty()) throw malformed(number, "a value before the first class");
        entry& e = entries.back();
        const std::string name = line.substr(0, eq), value = line.substr(eq + 1);
        if (name == "ProgID") {
            e.prog_id = value;
        } else if (name == "Path") {
            if (value.empty() || value.front() != '/') {
                throw malformed(number, "Path is not an absolute path: '" + value + "'");
            }
            e.path = value;
        } else if (name == "ThreadingModel") {
            e.threading_model = value;
        } else if (name == "MiscStatus") {
            e.misc_status = parse_number(value, file, number);
        } else if (name == "ToolboxBitmap") {
            e.toolbox_bitmap = parse_number(value, file, number);
        } else if (name == "TypeLib") {
            const auto id = parse_guid(value);
            if (!id) throw malformed(number, "not a type library id");
            e.type_library = *id;
        } else if (name == "TypeLibName") {
            e.type_library_name = value;
        } else if (name == "TypeLibVersion") {
            e.type_library_version = value;
        } else if (name == "HelpString") {
            e.help_string = value;
        }
        // Names this version does not know are skipped: a later version may add fields.
    }
    check_class();
    return entries;
}

std::string location() {
    if (const char* file = std::getenv("TARNWICK_REGISTRY"); file != nullptr && *file != '\0') return file;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return std::string(config) + "/tarnwick/registry";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/tarnwick/registry";
}

std::string system_location() {
    if (const char* file = std::getenv("TARNWICK_SYSTEM_REGISTRY"); file != nullptr) return file;
    // The program's own path has every link resolved, so ".." in the path from its directory to the
    // registry's is that directory's parent.
    char program[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", program, sizeof program);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof program) return {};
    std::string path(program, static_cast<std::size_t>(n));
    path.erase(path.find_last_of('/'));  // the program's directory: "" for "/"
    for (std::string_view rest = TARNWICK_SYSTEM_REGISTRY_FROM_PROGRAM; !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (name == "..") {
            path.erase(std::min(path.find_last_of('/'), path.size()));  // "/.." is "/"
        } else if (!name.empty() && name != ".") {
            path += '/';
            path += name;
        }
    }
    return path;
}

std::vector<entry> load(const std::string& file) {
    return read_file(file);
}

std::vector<entry> load_system(const std::string& file) {
    return read_system_file(file);
}

std::vector<listing> load_all() {
    std::vector<listing> registries;
    std::string file = location();
    registries.push_back({file, load(file)});
    file = system_location();
    if (!file.empty()) registries.push_back({file, load_system(file)});
    return registries;
}

bool hidden_by(const entry& e, const std::vector<entry>& earlier) {
    return std::any_of(earlier.begin(), earlier.end(),
                       [&](const entry& other) { return same_class(other, e); });
}

void add(const std::string& file, const entry& e) {
    if (holds_line_break(e)) throw error("cannot register in '" + file + "': a field holds a line break");
    if (e.path.empty() || e.path.front() != '/') {
        throw error("cannot register in '" + file + "': the library path '" + e.path + "' is not absolute");
    }
    update_file(file, [&](std::vector<entry>& entries) {
        std::erase_if(entries, [&](const entry& old) { return same_class(old, e); });
        entries.push_back(e);
        return true;
    });
}

bool remove(const std::string& file, const twc_guid& class_id) {
    bool removed = false;
    update_file(file, [&](std::vector<entry>& entries) {
        removed = std::erase_if(entries,
                                [&](const entry& e) { return twc_guid_equal(&e.class_id, &class_id); }) > 0;
        return removed;
    });
    return removed;
}

std::optional<entry> find(const std::vector<entry>& entries, std::string_view prog_id) {
    for (const entry& e : entries) {
        if (component::ascii_iequal(e.prog_id, prog_id)) return e;
    }
    return std::nullopt;
}

std::optional<std::pair<entry, std::string>> find(const std::vector<listing>& registries,
                                                  std::string_view prog_id) {
    std::vector<entry> earlier;
    for (const listing& registry : registries) {
        if (auto e = find(registry.entries, prog_id); e && !hidden_by(*e, earlier)) {
            return std::pair{std::move(*e), registry.file};
        }
        earlier.insert(earlier.end(), registry.entries.begin(), registry.entries.end());
    }
    return std::nullopt;
}

std::string format_guid(const twc_guid& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2,
                  id.data3, id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5],
                  id.data4[6], id.data4[7]);
    return text;
}

std::optional<twc_guid> parse_guid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    unsigned char bytes[16];
    std::size_t n = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-') return std::nullopt;
            continue;
        }
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        const int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[n++] = static_cast<unsigned char>(hi * 16 + lo);
        ++i;
    }
    twc_guid id{};
    id.data1 = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    id.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    id.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    std::memcpy(id.data4, bytes + 8, 8);
    return id;
}

}  // namespace platform::registry
