// penmoor::ini_file: each call one run of the interface for programs (session.hpp).
#include "penmoor/ini_file.hpp"

#include <algorithm>
#include <new>

#include "line_rules.hpp"
#include "session.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/utf8.hpp"

namespace penmoor {
namespace {

using session::request;
using verb = request::verb;

// What would help, for the errors a program meets most.
std::string_view hint(int number) {
    switch (number) {
        case platform::err::file_not_found:
            return " (file_options::create lets the first change make it)";
        case platform::err::path_not_found:
            return " (make the directory first)";
        case platform::err::permission_denied:
            return " (the file must be writable by this user, and no other process may hold its lock for "
                   "long)";
        case platform::err::disk_full:
            return " (free some space; the file is as it was)";
        default:
            return "";
    }
}

[[noreturn]] void fail(const std::string& path, int number, const std::string& what) {
    throw error(number, path, path + ": " + what + std::string(hint(number)));
}

bool is_ascii(std::string_view s) {
    return std::ranges::all_of(s, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A name or value of a request: UTF-8 as given, in the file's bytes once its character set is known.
std::string in_set(const std::string& path, std::string_view utf8, const char* what, platform::encoding set) {
    if (set == platform::encoding::utf8) return std::string(utf8);
    try {
        return *platform::cp1252::encode(platform::file_text_from_utf8(utf8));
    } catch (const platform::runtime_error& e) {
        // The reason without the error's own description, which the message gives once.
        std::string_view reason = e.what();
        const std::string_view described = platform::describe(e.number());
        if (reason.starts_with(described) && reason.substr(described.size()).starts_with(": ")) {
            reason.remove_prefix(described.size() + 2);
        }
        fail(path, platform::err::invalid_call,
             std::string(what) + " '" + std::string(utf8) + "': " + std::string(reason) +
                 "; file_options::encoding can make it UTF-8");
    }
}

// Whether text may be written as `what`: one line, in the common dialect without blanks around it, a key
// that reads back as itself. Error 5 otherwise, before the file is touched.
void check_writable(const std::string& path, const file_options& o, std::string_view text, const char* what,
                    bool key, bool value) {
    if (const std::size_t bad = platform::invalid_utf8_at(text); bad != std::string_view::npos) {
        fail(path, platform::err::invalid_call, std::string(what) + ": " + platform::not_utf8(text, bad));
    }
    const bool lf_may_end = o.line_ends != line_ends::crlf;
    auto why = key ? rules::unwritable_name(text, lf_may_end) : rules::unwritable(text, what, lf_may_end);
    if (!why && o.dialect == ini_dialect::common && (key || value))
        why = rules::unwritable_common(text, what, key);
    if (why) fail(path, platform::err::invalid_call, *why);
}

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

// One run of requests on the file; the answers. edits: whether they may change it.
std::vector<session::answer> run(const std::string& path, const file_options& o,
                                 std::vector<request>& requests, std::vector<std::string>& texts) {
    session::options how;
    how.line_ends = static_cast<std::int16_t>(o.line_ends);
    how.rules = o.dialect == ini_dialect::common ? engine::dialect::common : engine::dialect::exact;
    how.text = static_cast<platform::encoding>(o.encoding);
    how.create = o.create;
    how.ascii_only = std::ranges::all_of(texts, [](const std::string& t) { return is_ascii(t); });
    how.prepare = [&](platform::encoding set) {
        std::size_t at = 0;
        for (request& r : requests) {
            if (r.section) r.section = in_set(path, texts[at], "the section name", set);
            ++at;
            if (r.key) r.key = in_set(path, texts[at], "the key", set);
            ++at;
            r.value = in_set(path, texts[at], "the value", set);
            ++at;
        }
    };
    try {
        return session::run(path, how, requests, [](const auto&) { return true; });
    } catch (const error&) {
        throw;
    } catch (const platform::runtime_error& e) {
        fail(path, e.number(), e.what());
    } catch (const std::bad_alloc&) {
        fail(path, platform::err::out_of_memory, "out of memory");
    }
}

// A request, and its UTF-8 text for run().
void add(std::vector<request>& requests, std::vector<std::string>& texts, verb what,
         std::optional<std::string_view> section, std::optional<std::string_view> key,
         std::string_view value = {}, value_sink* out = nullptr) {
    request r;
    r.what = what;
    if (section) r.section = std::string(*section);
    if (key) r.key = std::string(*key);
    r.out = out;
    requests.push_back(std::move(r));
    texts.emplace_back(section ? *section : std::string_view());
    texts.emplace_back(key ? *key : std::string_view());
    texts.emplace_back(value);
}

}  // namespace

error::error(int number, std::string path, const std::string& message)
    : std::runtime_error(message), number_(number), path_(std::move(path)) {}

ini_file::ini_file(std::string path, file_options options) : path_(std::move(path)), options_(options) {
    if (path_.empty()) fail(path_, platform::err::bad_file_name, "the empty path names no file");
}

std::optional<std::string> ini_file::get(std::string_view section, std::string_view key) const {
    collected value;
    std::vector<request> requests;
    std::vector<std::string> texts;
    add(requests, texts, verb::get, section, key, {}, &value);
    const auto answers = run(path_, options_, requests, texts);
    if (!answers.front().key) return std::nullopt;
    return std::move(value.value);
}

std::string ini_file::get_or(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
    auto value = get(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

bool ini_file::contains(std::string_view section) const {
    std::vector<request> requests;
    std::vector<std::string> texts;
    add(requests, texts, verb::get, section, std::nullopt);
    return run(path_, options_, requests, texts).front().section;
}

bool ini_file::contains(std::string_view section, std::string_view key) const {
    std::vector<request> requests;
    std::vector<std::string> texts;
    add(requests, texts, verb::get, section, key);
    return run(path_, options_, requests, texts).front().key;
}

std::vector<std::string> ini_file::sections() const {
    collected names;
    std::vector<request> requests;
    std::vector<std::string> texts;
    add(requests, texts, verb::list, std::nullopt, std::nullopt, {}, &names);
    run(path_, options_, requests, texts);
    return std::move(names.names);
}

std::vector<std::string> ini_file::keys(std::string_view section) const {
    collected names;
    std::vector<request> requests;
    std::vector<std::string> texts;
    add(requests, texts, verb::list, section, std::nullopt, {}, &names);
    run(path_, options_, requests, texts);
    return std::move(names.names);
}

void ini_file::set(std::string_view section, std::string_view key, std::string_view value) {
    batch b(*this);
    b.set(section, key, value);
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
    verb what;
    std::string section;
    std::optional<std::string> key;
    std::string value;
};

ini_file::batch::batch(ini_file& file) : file_(file) {}

ini_file::batch::~batch() = default;

ini_file::batch& ini_file::batch::set(std::string_view section, std::string_view key,
                                      std::string_view value) {
    const file_options& o = file_.options_;
    check_writable(file_.path_, o, section, "the section name", false, false);
    check_writable(file_.path_, o, key, "the key", true, false);
    check_writable(file_.path_, o, value, "the value", false, true);
    changes_.push_back({verb::set, std::string(section), std::string(key), std::string(value)});
    return *this;
}

ini_file::batch& ini_file::batch::erase(std::string_view section, std::string_view key) {
    changes_.push_back({verb::del, std::string(section), std::string(key), {}});
    return *this;
}

ini_file::batch& ini_file::batch::erase(std::string_view section) {
    changes_.push_back({verb::del, std::string(section), std::nullopt, {}});
    return *this;
}

bool ini_file::batch::commit() {
    std::vector<request> requests;
    std::vector<std::string> texts;
    for (const change& c : changes_) {
        add(requests, texts, c.what, c.section,
            c.key ? std::optional<std::string_view>(*c.key) : std::nullopt, c.value);
    }
    changes_.clear();
    if (requests.empty()) return false;
    const auto answers = run(file_.path_, file_.options_, requests, texts);
    return std::ranges::any_of(answers, [](const session::answer& a) { return a.changed; });
}

}  // namespace penmoor
