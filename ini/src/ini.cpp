// The control itself: sizing, and filling the tables (reset, one line, a whole file).
#include "tw_ini/ini.hpp"

#include "state.hpp"
#include "tarnwick/files/buffer_pool.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/utf8.hpp"

namespace tw_ini {

ini::ini() : user_control(face.width, face.height), state_(std::make_unique<state>()) {}

ini::~ini() = default;

void ini::Resize() {
    Height(face.height);
    Width(face.width);
}

void ini::ResetConf() {
    state_->tables.reset();
    state_->index.forget();
}

void ini::InputConf(const platform::string& to_input) {
    state_->tables.file_line(to_input);
}

std::int16_t ini::LineEnds() const {
    return state_->line_ends;
}

void ini::LineEnds(std::int16_t value) {
    platform::check_line_ends_setting(value);
    state_->line_ends = value;
}

platform::boolean ini::ReadFile(const platform::string& Filename) {
    ResetConf();
    auto source = platform::open_if_regular(platform::native_path(Filename));
    if (!source) return platform::False;
    // The file closes when `source` goes out of scope, whichever way the call ends. A close error of a
    // file only read cannot lose anything, so it is not reported.
    platform::buffer_lease buffer;
    platform::line_reader lines(*source, buffer.span(),
                                platform::line_ends_by_setting(state_->line_ends, *source));
    // Each line is filed from its bytes, decoded straight into the tables' text: the same rule as
    // InputConf, without a string per line.
    state_->tables.file_lines(lines);
    return platform::True;
}

}  // namespace tw_ini
