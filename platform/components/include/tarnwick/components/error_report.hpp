// How a failed call of the C interface tells its caller why.
#pragma once

#include <cstdint>
#include <string_view>

#include "tarnwick/components/component.h"

namespace platform::component {

// Fills the caller's error record (when there is one) with the run-time error number, a copy of the
// message made with malloc (the caller frees it) and the argument concerned, each only where the size
// the caller gives covers the field; returns status.
twc_status report_error(twc_error* error, twc_status status, int number, std::string_view message,
                        std::uint32_t argument = UINT32_MAX) noexcept;

}  // namespace platform::component
