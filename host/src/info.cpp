#include "info.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "library.hpp"
#include "registration.hpp"
#include "tarnwick/components/registry.hpp"
#include "tarnwick/components/variant.hpp"

namespace twhost {
namespace {

namespace reg = platform::registry;

struct located {
    std::unique_ptr<library> lib;
    const twc_class_info* info;
};

// A class by ProgID (through the registry) or by the path of its library.
located locate(const std::string& what) {
    if (what.find('/') != std::string::npos) {
        auto lib = std::make_unique<library>(what);
        const twc_class_info* info = &lib->class_info();
        return {std::move(lib), info};
    }
    const reg::entry entry = registered_class(what).first;
    auto lib = std::make_unique<library>(entry.path);
    const twc_class_info* info = &lib->class_info(&entry.class_id);
    return {std::move(lib), info};
}

std::string hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string twips(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

void print_interface(const twc_interface& in, std::ostream& out) {
    const bool events = (in.flags & TWC_INTERFACE_SOURCE) != 0;
    out << "interface " << in.name << ' ' << reg::format_guid(in.iid)
        << (events ? " (events)" : " (dispatch)") << (in.member_count == 0 ? ": no members" : "") << '\n';
    for (std::uint32_t i = 0; i < in.member_count; ++i) {
        const twc_member& m = in.members[i];
        const char* kind = events                             ? "event"
                           : m.kind == TWC_INVOKE_PROPERTYGET ? "property get"
                           : m.kind == TWC_INVOKE_PROPERTYPUT ? "property put"
                                                              : "method";
        out << "  " << (events ? std::to_string(m.id) : hex(static_cast<std::uint32_t>(m.id), 8)) << ' '
            << kind << ' ' << m.name;
        if (m.param_count > 0) {
            out << '(';
            for (std::uint32_t p = 0; p < m.param_count; ++p) {
                const twc_param& param = m.params[p];
                out << (p ? ", " : "") << ((param.type & TWC_VT_BYREF) ? "ByRef " : "ByVal ") << param.name
                    << " As " << platform::component::type_name(param.type & ~TWC_VT_BYREF);
            }
            out << ')';
        }
        if (m.result_type != TWC_VT_EMPTY) out << " As " << platform::component::type_name(m.result_type);
        out << '\n';
    }
}

// Width, height and bits per pixel from a .bmp file's headers; false when it is not one.
bool bitmap_shape(const std::uint8_t* data, std::size_t size, std::int32_t& width, std::int32_t& height,
                  std::uint16_t& bits) {
    if (data == nullptr || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    std::memcpy(&width, data + 18, 4);
    std::memcpy(&height, data + 22, 4);
    std::memcpy(&bits, data + 28, 2);
    return true;
}

// Writes size bytes to a new or emptied file at path; a failure names the file and the system's reason.
void write_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const auto fail = [&](int error) {
        throw host_error("cannot write the toolbox bitmap to '" + path + "': " + std::strerror(error));
    };
    std::FILE* file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr) fail(errno);
    const bool written = std::fwrite(data, 1, size, file) == size;
    const int error = errno;
    if (std::fclose(file) != 0) fail(errno);
    if (!written) fail(error);
}

}  // namespace

int describe_class(const std::string& what, const std::string& bitmap_file, std::ostream& out) {
    located found = locate(what);
    const twc_class_info& info = *found.info;
    const twc_type_info& type = *info.type_info;
    out << "class " << type.class_name << ' ' << reg::format_guid(type.class_id) << ", ProgID "
        << info.prog_id << '\n';
    out << "type library " << type.library_name << ' ' << type.major_version << '.' << type.minor_version
        << " \"" << type.help_string << "\" " << reg::format_guid(type.library_id) << '\n';
    print_interface(*type.dispatch, out);
    print_interface(*type.events, out);
    for (std::uint32_t c = 0; c < type.constant_count; ++c) {
        out << "constant " << type.constants[c].name << " = " << type.constants[c].value << '\n';
    }
    const twc_version_record& v = *info.version;
    out << "version: file " << v.file_version << ", product " << v.product_version << ", product name "
        << v.product_name << ", internal name " << v.internal_name << ", file name " << v.original_filename
        << '\n';
    out << "threading model " << info.threading_model << ", misc status " << hex(info.misc_status, 5)
        << ((info.misc_status & TWC_MISC_INVISIBLEATRUNTIME) ? " (invisible at run time)" : "") << '\n';
    out << "design size " << twips(info.design_size.width) << " x " << twips(info.design_size.height)
        << " twips\n";
    const twc_face& f = *info.face;
    out << "face: " << f.kind << ' ' << f.name << " \"" << f.caption << "\" at " << twips(f.left) << ','
        << twips(f.top) << ", " << twips(f.width) << " x " << twips(f.height) << " twips\n";

    std::int32_t width = 0, height = 0;
    std::uint16_t bits = 0;
    if (!bitmap_shape(info.toolbox_bitmap, info.toolbox_bitmap_size, width, height, bits)) {
        throw host_error("'" + found.lib->path() + "' carries a toolbox bitmap that is not a .bmp file");
    }
    out << "toolbox bitmap " << info.toolbox_bitmap_id << ": " << width << " x " << height << ", " << bits
        << " bits per pixel, " << info.toolbox_bitmap_size << " bytes\n";

    // The host asks for another size; the control answers with the size it keeps.
    twc_control* control = found.lib->create(type.class_id);
    twc_extent kept{};
    const twc_status status = control->vtbl->set_extent(control, {1440, 1440}, &kept);
    control->vtbl->release(control);
    if (status != TWC_OK) throw host_error("set_extent failed (" + std::string(status_name(status)) + ")");
    out << "asked for 1440 x 1440 twips, keeps " << twips(kept.width) << " x " << twips(kept.height) << '\n';

    if (!bitmap_file.empty()) {
        write_file(bitmap_file, info.toolbox_bitmap, info.toolbox_bitmap_size);
        out << "toolbox bitmap written to '" << bitmap_file << "'\n";
    }
    found.lib->unload();
    return 0;
}

}  // namespace twhost
