// penmoor::ini_file: each call one run of the interface for programs (session.hpp).
#include "penmoor/ini_file.hpp"

#include <algorithm>

#include "program_errors.hpp"
#include "session.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/runtime_error.hpp"

namespace penmoor {
namespace {

using program::fail;
using program::guarded;

using session::request;
using verb = request::verb;

// A value, or names, as a request gives them.
class collected final : public value_sink {
  public:
    void begin(std::string_view name) override { names.emplace_back(name); }
    void piece(std::string_view text) override { value.append(text); }
    void restart() override {
        names.clear();
        value.clear();
    }
    std::vector<std::string> names;
    std::string value;
};

session::options options_of(const file_options& o) {
    session::options how;
    how.format = platform::format::of_settings(static_cast<std::int16_t>(o.line_ends),
                                               static_cast<std::int16_t>(o.encoding),
                                               static_cast<std::int16_t>(o.dialect));
    how.create = o.create;
    how.make_directories = o.create;
    return how;
}

std::vector<session::answer> run(const std::string& path, const file_options& o,
                                 std::vector<request>& requests) {
    return guarded(path, o, [&] {
        return session::run(path, options_of(o), requests, [](const auto&) { return true; });
    });
}

request make(verb what, std::optional<std::string_view> section, std::optional<std::string_view> key,
             std::string_view value = {}, value_sink* out = nullptr) {
    request r;
    r.what = what;
    if (section) r.section = std::string(*section);
    if (key) r.key = std::string(*key);
    r.value = std::string(value);
    r.out = out;
    return r;
}

}  // namespace

error::error(int number, std::string path, const std::string& message)
    : std::runtime_error(message), number_(number), path_(std::move(path)) {}

ini_file::ini_file(std::string path, file_options options) : path_(std::move(path)), options_(options) {
    if (path_.empty()) fail(path_, options_, platform::err::bad_file_name, "the empty path names no file");
    if (path_.find('\0') != std::string::npos) {
        fail(path_, options_, platform::err::bad_file_name, "a path cannot hold a NUL");
    }
}

std::optional<std::string> ini_file::get(std::string_view section, std::string_view key) const {
    collected value;
    std::vector<request> requests{make(verb::get, section, key, {}, &value)};
    if (!run(path_, options_, requests).front().key) return std::nullopt;
    return std::move(value.value);
}

std::string ini_file::get_or(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
    auto value = get(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

bool ini_file::contains(std::string_view section) const {
    std::vector<request> requests{make(verb::get, section, std::nullopt)};
    return run(path_, options_, requests).front().section;
}

bool ini_file::contains(std::string_view section, std::string_view key) const {
    std::vector<request> requests{make(verb::get, section, key)};
    return run(path_, options_, requests).front().key;
}

std::vector<std::string> ini_file::sections() const {
    collected names;
    std::vector<request> requests{make(verb::list, std::nullopt, std::nullopt, {}, &names)};
    run(path_, options_, requests);
    return std::move(names.names);
}

std::vector<std::string> ini_file::keys(std::string_view section) const {
    collected names;
    std::vector<request> requests{make(verb::list, section, std::nullopt, {}, &names)};
    run(path_, options_, requests);
    return std::move(names.names);
}

void ini_file::set(std::string_view section, std::string_view key, std::string_view value) {
    batch b(*this);
    b.set(section, key, value);
    b.commit();
}

void ini_file::set_list(std::string_view section, std::string_view key, const std::vector<std::string>& items,
                        char separator) {
    batch b(*this);
    b.set_list(section, key, items, separator);
    b.commit();
}

bool ini_file::erase(std::string_view section, std::string_view key) {
    batch b(*this);
    b.erase(section, key);
    return b.commit();
}

bool ini_file::erase(std::string_view section) {
    batch b(*this);
    b.erase(section);
    return b.commit();
}

struct ini_file::batch::change {
    request r;
};

ini_file::batch::batch(ini_file& file) : file_(file) {}

ini_file::batch::~batch() = default;

ini_file::batch& ini_file::batch::set(std::string_view section, std::string_view key,
                                      std::string_view value) {
    request r = make(verb::set, section, key, value);
    guarded(file_.path_, file_.options_, [&] {
        session::check_text(std::span(&r, 1), options_of(file_.options_).format);
        return 0;
    });
    changes_.push_back({std::move(r)});
    return *this;
}

ini_file::batch& ini_file::batch::set_list(std::string_view section, std::string_view key,
                                           const std::vector<std::string>& items, char separator) {
    for (const std::string& item : items) {
        const std::string why = values::list_item_problem(item, separator);
        if (!why.empty()) {
            fail(file_.path_, file_.options_, platform::err::invalid_call,
                 "the list item '" + item + "' of [" + std::string(section) + "] " + std::string(key) + " " +
                     why);
        }
    }
    return set(section, key, std::string_view(values::list_text(items, separator)));
}

ini_file::batch& ini_file::batch::erase(std::string_view section, std::string_view key) {
    changes_.push_back({make(verb::del, section, key)});
    return *this;
}

ini_file::batch& ini_file::batch::erase(std::string_view section) {
    changes_.push_back({make(verb::del, section, std::nullopt)});
    return *this;
}

bool ini_file::batch::commit() {
    if (changes_.empty()) return false;
    // Deletions alone find nothing where the file's directory is not there yet: none is made for them.
    const bool deletions =
        std::ranges::all_of(changes_, [](const change& c) { return c.r.what == verb::del; });
    if (deletions && file_.options_.create && file_.path_.find('\0') == std::string::npos &&
        !platform::link_status(file_.path_) && !platform::is_directory(platform::directory_of(file_.path_))) {
        changes_.clear();
        return false;
    }
    std::vector<request> requests;
    for (const change& c : changes_) requests.push_back(c.r);
    const auto answers = run(file_.path_, file_.options_, requests);
    changes_.clear();
    return std::ranges::any_of(answers, [](const session::answer& a) { return a.changed; });
}

}  // namespace penmoor
