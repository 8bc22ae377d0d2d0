// The State codes of the writer's methods, as data: each method names the lookups it stands for and
// what it reports itself, in order; one function maps that chain and what the method's one pass found
// to the codes and the result.
//
// A method calls its lookups as a host would, so their events come first: isSetting raises isHeader's
// events and then its own, and an edit raises those of the lookups it stands for before its own. One
// pass answers all of them at once.
#pragma once

#include <cstdint>
#include <vector>

#include "stages.hpp"

namespace penmoor {

enum class method : std::uint8_t {
    isHeader,
    isSetting,
    getSetting,
    addHeader,
    addSetting,
    updateSetting,
    deleteSetting,
    deleteHeader,
};

struct report {
    std::vector<std::int16_t> codes;  // the State codes, in order
    bool result = false;              // the method's result (for an edit: the file is to be changed)
};

// What method m reports, with a file bound or not, from what its pass found (nothing when unbound).
report events_of(method m, bool bound, const findings& found);

}  // namespace penmoor
