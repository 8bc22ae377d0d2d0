#include "tarnwick/components/arguments.hpp"

#include <cstdlib>

#include "tarnwick/components/variant.hpp"

namespace platform::component {

arguments::arguments(const twc_member& member, const twc_variant* args, std::uint32_t count)
    : member_(member) {
    values_.reserve(count);
    texts_.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        try {
            const std::uint16_t type = member.params[i].type & ~TWC_VT_BYREF;
            if (type == TWC_VT_STRING) {
                // Kept as text alone: its variant holds only the type, with no copy of the text.
                texts_[i] = to_string(args[i]);
                twc_variant typed = make_empty();
                typed.type = TWC_VT_STRING;
                values_.push_back(typed);
            } else {
                values_.push_back(coerce(args[i], type));
            }
        } catch (const runtime_error& e) {
            // The destructor does not run for a constructor that throws.
            for (twc_variant& v : values_) twc_variant_clear(&v);
            throw argument_error{i, e};
        }
    }
}

arguments::~arguments() {
    for (twc_variant& v : values_) twc_variant_clear(&v);
}

const twc_variant& arguments::at(std::size_t i, std::uint16_t type) const {
    if (i >= values_.size() || values_[i].type != type) std::abort();
    return values_[i];
}

const string& arguments::text(std::size_t i) const {
    at(i, TWC_VT_STRING);
    return texts_[i];
}
std::int16_t arguments::i2(std::size_t i) const {
    return at(i, TWC_VT_I2).u.i2;
}
std::int32_t arguments::i4(std::size_t i) const {
    return at(i, TWC_VT_I4).u.i4;
}
float arguments::r4(std::size_t i) const {
    return at(i, TWC_VT_R4).u.r4;
}
boolean arguments::flag(std::size_t i) const {
    return at(i, TWC_VT_BOOL).u.boolean;
}

}  // namespace platform::component
