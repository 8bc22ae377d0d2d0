// What a writer control holds besides its size: the instance state of the format (the bound path, the
// flags), its settings for lines and dialect, the batch open on it and its event sinks.
#pragma once

#include <string>

#include "edit_file.hpp"
#include "penmoor/ini.hpp"
#include "tarnwick/components/events.hpp"

namespace penmoor {

struct ini::state {
    platform::string boundPath;
    platform::boolean fileBound = platform::False;
    platform::boolean CreateNew = platform::False;
    std::string native_path;  // boundPath as the file system names it
    std::int16_t LineEnds = 0;
    std::int16_t Dialect = 0;
    std::int16_t Encoding = 0;
    detail::batch_state* batch = nullptr;  // the batch open on the control, if any
    platform::component::sink_list<ini_events*> sinks;

    void raise_State(std::int16_t code);
    void raise_hasWrite();
    // What an operation works on.
    edit_target target();
};

}  // namespace penmoor
