// The control itself: instance state, sizing, binding, file creation and event raising.
#include "penmoor/ini.hpp"

#include <algorithm>
#include <variant>

#include "edit_file.hpp"
#include "ini_state.hpp"
#include "tarnwick/components/events.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/format.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "tarnwick/files/utf8.hpp"

namespace penmoor {
namespace {

constexpr float designed_width = 585;
constexpr float designed_height = 645;

}  // namespace

void ini::state::raise_State(std::int16_t code) {
    auto targets = sinks.of_event();
    platform::component::raise_to_each(targets, code,
                                       [](ini_events& sink, std::int16_t& own) { sink.State(own); });
}

void ini::state::raise_hasWrite() {
    auto targets = sinks.of_event();
    platform::component::raise_to_each(targets, std::monostate{},
                                       [](ini_events& sink, std::monostate&) { sink.hasWrite(); });
}

edit_target ini::state::target() {
    return {fileBound != platform::False ? &native_path : nullptr,
            batch,
            platform::format::of_settings(LineEnds, Encoding, Dialect),
            {[this](std::int16_t code) { raise_State(code); }, [this] { raise_hasWrite(); }}};
}

ini::ini() : user_control(designed_width, designed_height), state_(std::make_unique<state>()) {}

ini::~ini() = default;

void ini::Resize() {
    Width(designed_width);
    Height(designed_height);
}

void ini::connect(ini_events& sink) {
    state_->sinks.connect(&sink);
}

void ini::disconnect(ini_events& sink) {
    state_->sinks.disconnect_if([&](ini_events* s) { return s == &sink; });
}

platform::string ini::File() const {
    return state_->fileBound ? state_->boundPath : u"None";
}

void ini::File(platform::string path) {
    std::string native = platform::native_path(path);
    std::int16_t code = TW_NOFILE;
    if (platform::is_regular_file(native) ||
        (state_->CreateNew != platform::False && addFile(path) != platform::False)) {
        state_->boundPath = std::move(path);
        state_->native_path = std::move(native);
        state_->fileBound = platform::True;
        code = TW_OKFILE;
    }
    state_->raise_State(code);
}

platform::boolean ini::CreateNew() const {
    return state_->CreateNew;
}

void ini::CreateNew(platform::boolean value) {
    state_->CreateNew = value;
}

platform::boolean ini::addFile(const platform::string& File) {
    const std::string native = platform::native_path(File);
    if (native.empty())
        throw platform::runtime_error(platform::err::bad_file_name, "the empty path names no file");
    platform::boolean result = platform::False;
    if (platform::is_regular_file(native)) {
        state_->raise_State(TW_FILEEXISTS);
    } else if (auto made = platform::create_exclusive(native, 0666)) {
        made->close();
        state_->raise_State(TW_MADEFILE);
        result = platform::True;
    } else {
        // Something appeared at the path since the lookup, or it is not a regular file: never truncate it.
        state_->raise_State(TW_FILEEXISTS);
    }
    state_->raise_hasWrite();
    return result;
}

std::int16_t ini::LineEnds() const {
    return state_->LineEnds;
}

void ini::LineEnds(std::int16_t value) {
    platform::check_line_ends_setting(value);
    state_->LineEnds = value;
}

std::int16_t ini::Encoding() const {
    return state_->Encoding;
}

void ini::Encoding(std::int16_t value) {
    platform::check_encoding_setting(value);
    state_->Encoding = value;
}

std::int16_t ini::Dialect() const {
    return state_->Dialect;
}

void ini::Dialect(std::int16_t value) {
    platform::ini::check_dialect_setting(value);
    state_->Dialect = value;
}

batch::batch(ini& control) : control_(control) {
    if (control.state_->fileBound == platform::False) {
        throw platform::runtime_error(platform::err::invalid_call, "a batch needs a bound file");
    }
    if (control.state_->batch != nullptr) {
        throw platform::runtime_error(platform::err::file_already_open,
                                      "the control has a batch open already");
    }
    state_ =
        std::make_unique<detail::batch_state>(control.state_->native_path, control.state_->target().format);
    control.state_->batch = state_.get();
}

batch::~batch() {
    control_.state_->batch = nullptr;
}

void batch::commit() {
    state_->changes.commit();
}

}  // namespace penmoor
