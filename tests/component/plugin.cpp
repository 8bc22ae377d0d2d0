#include "plugin.hpp"

namespace test {

outcome invoke(twc_control* c, twc_dispid id, std::uint16_t flags, std::vector<twc_variant> args) {
    twc_error error{};
    error.size = sizeof error;
    error.argument = UINT32_MAX;
    twc_variant result = platform::component::make_empty();
    outcome o;
    o.status =
        c->vtbl->invoke(c, id, flags, args.data(), static_cast<std::uint32_t>(args.size()), &result, &error);
    o.result = platform::component::variant(result);
    for (twc_variant& a : args) twc_variant_clear(&a);
    o.number = error.number;
    o.message = error.message != nullptr ? error.message : "";
    o.argument = error.argument;
    twc_error_clear(&error);
    return o;
}

twc_variant str(std::u16string_view text) {
    return platform::component::make_string(text);
}

std::u16string text(const outcome& o) {
    const twc_variant& v = o.result.get();
    if (v.type != TWC_VT_STRING) return {};
    return v.u.str.length == 0 ? std::u16string() : std::u16string(v.u.str.data, v.u.str.length);
}

const twc_class_info& class_of(const twhost::library& lib) {
    return lib.class_info();
}

twc_control* create(const twhost::library& lib) {
    return lib.create(lib.class_info().type_info->class_id);
}

}  // namespace test
