// The control itself: sizing, and filling the tables (reset, one line, a whole file).
#include "tw_ini/ini.hpp"

#include "load.hpp"
#include "state.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/utf8.hpp"

namespace tw_ini {
namespace {

// The path as the file system takes it. Most paths are ASCII, which stays as it is; anything else
// (and a NUL, which is an error) goes through the platform's conversion.
std::string path_bytes(const platform::string& path) {
    std::string bytes(path.size(), '\0');
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == 0 || path[i] >= 0x80) return platform::native_path(path);
        bytes[i] = static_cast<char>(path[i]);
    }
    return bytes;
}

}  // namespace

ini::ini() : user_control(face.width, face.height), state_(std::make_unique<state>()) {}

ini::~ini() = default;

void ini::Resize() {
    Height(face.height);
    Width(face.width);
}

void ini::ResetConf() {
    state_->tables.reset();
    state_->index.forget();
    state_->view.forget();
    state_->changed();
    // Empty tables are an empty file's: as found, that is UTF-8.
    state_->tables.set_encoding(state_->encoding == 0 ? platform::encoding::cp1252
                                                      : platform::encoding::utf8);
}

void ini::InputConf(const platform::string& to_input) {
    state_->changed();
    state_->tables.file_line(to_input);
}

std::int16_t ini::LineEnds() const {
    return state_->line_ends;
}

void ini::LineEnds(std::int16_t value) {
    platform::check_line_ends_setting(value);
    state_->line_ends = value;
}

std::int16_t ini::Encoding() const {
    return state_->encoding;
}

void ini::Encoding(std::int16_t value) {
    platform::check_encoding_setting(value);
    state_->encoding = value;
    if (state_->tables.header_count() == 0) ResetConf();
}

std::int16_t ini::Dialect() const {
    return state_->dialect;
}

void ini::Dialect(std::int16_t value) {
    platform::ini::check_dialect_setting(value);
    state_->dialect = value;
    state_->tables.set_dialect(static_cast<platform::ini::dialect>(value));
}

platform::boolean ini::ReadFile(const platform::string& Filename) {
    ResetConf();
    auto source = platform::open_if_regular(path_bytes(Filename));
    if (!source) return platform::False;
    // The file closes when `source` goes out of scope, whichever way the call ends. A close error of a
    // file only read cannot lose anything, so it is not reported.
    const auto f = platform::format::of_settings(state_->line_ends, state_->encoding, state_->dialect);
    detail::load_file(state_->tables, *source, f.ends_of(*source), f.text);
    return platform::True;
}

}  // namespace tw_ini
