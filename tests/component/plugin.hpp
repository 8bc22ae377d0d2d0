// Test access to the built plug-ins through their C entry points only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "library.hpp"
#include "tarnwick/components/component.h"
#include "tarnwick/components/variant.hpp"

namespace test {

// The shared objects under test; their paths come from the build.
inline const char* const writer_path = TARNWICK_WRITER_LIBRARY;
inline const char* const reader_path = TARNWICK_READER_LIBRARY;

// One reference to a control, released at the end of the scope.
class control_ref {
  public:
    explicit control_ref(twc_control* c) noexcept : c_(c) {}
    control_ref(const control_ref&) = delete;
    control_ref& operator=(const control_ref&) = delete;
    ~control_ref() {
        if (c_ != nullptr) c_->vtbl->release(c_);
    }
    twc_control* get() const noexcept { return c_; }
    twc_control* operator->() const noexcept { return c_; }
    twc_control* release() noexcept { return std::exchange(c_, nullptr); }

  private:
    twc_control* c_;
};

// What one invoke gave back.
struct outcome {
    twc_status status = TWC_OK;
    platform::component::variant result;
    int number = 0;
    std::string message;
    std::uint32_t argument = UINT32_MAX;
};

outcome invoke(twc_control* c, twc_dispid id, std::uint16_t flags, std::vector<twc_variant> args = {});
inline outcome call(twc_control* c, twc_dispid id, std::vector<twc_variant> args = {}) {
    return invoke(c, id, TWC_INVOKE_METHOD, std::move(args));
}
inline outcome get(twc_control* c, twc_dispid id) {
    return invoke(c, id, TWC_INVOKE_PROPERTYGET);
}
inline outcome put(twc_control* c, twc_dispid id, twc_variant value) {
    return invoke(c, id, TWC_INVOKE_PROPERTYPUT, {value});
}

// Argument makers; strings are released by invoke.
twc_variant str(std::u16string_view text);
inline twc_variant i2(std::int16_t v) {
    return platform::component::make_i2(v);
}
inline twc_variant i4(std::int32_t v) {
    return platform::component::make_i4(v);
}
inline twc_variant r4(float v) {
    return platform::component::make_r4(v);
}
inline twc_variant boolean(bool v) {
    return platform::component::make_bool(v ? -1 : 0);
}

// Text of a result, "" for a non-string.
std::u16string text(const outcome& o);

// The class of a loaded library and a fresh control of it.
const twc_class_info& class_of(const twhost::library& lib);
twc_control* create(const twhost::library& lib);

}  // namespace test
