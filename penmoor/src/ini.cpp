// The control itself: instance state, sizing, binding, file creation and event raising.
#include "penmoor/ini.hpp"

#include <algorithm>
#include <variant>

#include "edit_file.hpp"
#include "tarnwick/components/events.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/utf8.hpp"

namespace penmoor {
namespace {

constexpr float designed_width = 585;
constexpr float designed_height = 645;

// Raising an event is balanced even when a handler throws.
class raising_scope {
  public:
    raising_scope(int& depth, std::vector<ini_events*>& sinks) : depth_(depth), sinks_(sinks) { ++depth_; }
    ~raising_scope() {
        if (--depth_ == 0) std::erase(sinks_, nullptr);
    }
    raising_scope(const raising_scope&) = delete;
    raising_scope& operator=(const raising_scope&) = delete;

  private:
    int& depth_;
    std::vector<ini_events*>& sinks_;
};

}  // namespace

ini::ini() : user_control(designed_width, designed_height) {}

ini::~ini() = default;

void ini::Resize() {
    Width(designed_width);
    Height(designed_height);
}

void ini::connect(ini_events& sink) {
    sinks_.push_back(&sink);
}

void ini::disconnect(ini_events& sink) {
    const auto found = std::find(sinks_.begin(), sinks_.end(), &sink);
    if (found == sinks_.end()) return;
    // While an event is being raised the list is walked by index: leave a hole, removed afterwards.
    if (raising_ > 0) {
        *found = nullptr;
    } else {
        sinks_.erase(found);
    }
}

void ini::raise_State(std::int16_t code) {
    raising_scope scope(raising_, sinks_);
    platform::component::raise_to_each(sinks_, code,
                                       [](ini_events& sink, std::int16_t& own) { sink.State(own); });
}

void ini::raise_hasWrite() {
    raising_scope scope(raising_, sinks_);
    platform::component::raise_to_each(sinks_, std::monostate{},
                                       [](ini_events& sink, std::monostate&) { sink.hasWrite(); });
}

platform::string ini::File() const {
    return fileBound_ ? boundPath_ : u"None";
}

void ini::File(platform::string path) {
    std::string native = platform::native_path(path);
    std::int16_t code = TW_NOFILE;
    if (platform::is_regular_file(native) ||
        (CreateNew_ != platform::False && addFile(path) != platform::False)) {
        boundPath_ = std::move(path);
        native_path_ = std::move(native);
        fileBound_ = platform::True;
        code = TW_OKFILE;
    }
    raise_State(code);
}

platform::boolean ini::CreateNew() const {
    return CreateNew_;
}

void ini::CreateNew(platform::boolean value) {
    CreateNew_ = value;
}

platform::boolean ini::addFile(const platform::string& File) {
    const std::string native = platform::native_path(File);
    if (native.empty())
        throw platform::runtime_error(platform::err::bad_file_name, "the empty path names no file");
    platform::boolean result = platform::False;
    if (platform::is_regular_file(native)) {
        raise_State(TW_FILEEXISTS);
    } else if (auto made = platform::create_exclusive(native, 0666)) {
        made->close();
        raise_State(TW_MADEFILE);
        result = platform::True;
    } else {
        // Something appeared at the path since the lookup, or it is not a regular file: never truncate it.
        raise_State(TW_FILEEXISTS);
    }
    raise_hasWrite();
    return result;
}

std::int16_t ini::LineEnds() const {
    return LineEnds_;
}

void ini::LineEnds(std::int16_t value) {
    platform::check_line_ends_setting(value);
    LineEnds_ = value;
}

edit_target ini::target() {
    return {fileBound_ != platform::False ? &native_path_ : nullptr,
            batch_,
            LineEnds_,
            engine::dialect::exact,
            {[this](std::int16_t code) { raise_State(code); }, [this] { raise_hasWrite(); }}};
}

batch::batch(ini& control) : control_(control) {
    if (control.fileBound_ == platform::False) {
        throw platform::runtime_error(platform::err::invalid_call, "a batch needs a bound file");
    }
    if (control.batch_ != nullptr) {
        throw platform::runtime_error(platform::err::file_already_open,
                                      "the control has a batch open already");
    }
    state_ = std::make_unique<detail::batch_state>(control.native_path_);
    control.batch_ = state_.get();
}

batch::~batch() {
    control_.batch_ = nullptr;
}

void batch::commit() {
    penmoor::commit(*state_);
}

}  // namespace penmoor
