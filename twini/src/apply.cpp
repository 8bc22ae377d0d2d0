#include "apply.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "line_rules.hpp"
#include "session.hpp"
#include "tarnwick/files/cp1252.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twini {
namespace {

using penmoor::value_sink;
using penmoor::session::request;
using verb_t = request::verb;

// What ends a command early: a status and its reason; for a key not found, which one.
struct refusal {
    int status;
    std::string reason;
    const struct step* missing = nullptr;
};

// The reason of a run-time error for a shell user: an argument's fault needs no "Invalid procedure
// call"; everything else keeps the error's own description and the system's text.
std::string reason_of(const platform::runtime_error& e) {
    std::string_view text = e.what();
    if (e.number() == platform::err::invalid_call) {
        const std::string_view described = platform::describe(e.number());
        if (text.starts_with(described) && text.substr(described.size()).starts_with(": ")) {
            text.remove_prefix(described.size() + 2);
        }
    }
    return std::string(text);
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// Text as far as it is UTF-8: a message never carries bytes that are not.
std::string shown(const std::string& utf8) {
    return platform::to_utf8(platform::from_utf8(utf8));
}

// An argument: the UTF-8 it was given as, and its bytes in the file's character set once known.
struct text {
    std::string utf8;
    const char* what = "";
    std::string bytes;

    void prepare(platform::encoding set) {
        if (set == platform::encoding::utf8) {
            bytes = utf8;
            return;
        }
        try {
            bytes = *platform::cp1252::encode(platform::file_text_from_utf8(utf8));
        } catch (const platform::runtime_error& e) {
            throw refusal{failed, std::string(what) + " " + quoted(shown(utf8)) + ": " + reason_of(e)};
        }
    }
};

text converted(const std::string& utf8, const char* what) {
    if (const std::size_t bad = platform::invalid_utf8_at(utf8); bad != std::string::npos) {
        throw refusal{failed,
                      std::string(what) + " " + quoted(shown(utf8)) + ": " + platform::not_utf8(utf8, bad)};
    }
    return {utf8, what, {}};
}

bool is_ascii(std::string_view s) {
    return std::ranges::all_of(s, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Output: what the command prints (UTF-8), collected until it has succeeded; beyond a megabyte it goes
// on in a file of no name, so that memory stays small whatever the length of a value.
class output {
  public:
    void add(std::string_view utf8) {
        text_ += utf8;
        if (text_.size() > spill_at) spill();
    }
    void clear() {
        text_.clear();
        spilled_.reset();
    }
    // Appends what other holds to this output.
    void append(output& other) {
        if (other.spilled_) {
            char chunk[65536];
            for (off_t at = 0;;) {
                const std::size_t n = other.spilled_->read_at(chunk, sizeof chunk, at);
                if (n == 0) break;
                text_.append(chunk, n);
                if (text_.size() > spill_at) spill();
                at += static_cast<off_t>(n);
            }
        }
        text_ += other.text_;
        if (text_.size() > spill_at) spill();
        other.clear();
    }
    void hand_to(result& r) {
        r.out = std::move(text_);
        r.spilled = std::move(spilled_);
    }

  private:
    static constexpr std::size_t spill_at = 1 << 20;
    void spill() {
        if (!spilled_) {
            const char* dir = std::getenv("TMPDIR");
            const int fd = ::open(dir && *dir ? dir : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (fd < 0) return;  // held in memory, then
            spilled_ = std::make_shared<platform::file>(fd, "(output)");
        }
        spilled_->write_all(text_.data(), text_.size());
        text_.clear();
    }

    std::string text_;
    std::shared_ptr<platform::file> spilled_;
};

// What a request prints, as it gives it: a value, "name=value" lines, or names, a line each.
class printer final : public penmoor::value_sink {
  public:
    enum class form { value, pairs, names };
    explicit printer(form f) : form_(f) {}
    void begin(std::string_view name) override {
        out_.add(name);
        out_.add(form_ == form::names ? "\n" : "=");
    }
    void piece(std::string_view text) override { out_.add(text); }
    void end() override {
        if (form_ != form::names) out_.add("\n");
    }
    void restart() override { out_.clear(); }
    output& printed() { return out_; }

  private:
    form form_;
    output out_;
};

// One operation: its request and what it needs for messages.
struct step {
    verb what;
    std::optional<text> section, key;
    text value;
};

[[noreturn]] void section_missing(const text& section, const char* more = "") {
    throw refusal{not_found, "section " + quoted(section.utf8) + " not found" + more};
}

[[noreturn]] void key_missing(const step& s, const char* more = "") {
    throw refusal{not_found,
                  "key " + quoted(s.key->utf8) + " not found in section " + quoted(s.section->utf8) + more,
                  &s};
}

[[noreturn]] void beyond_repeat(const step& s, const char* doing) {
    throw refusal{failed, "key " + quoted(s.key->utf8) + " of section " + quoted(s.section->utf8) +
                              " stands after a repeat of the line '[" + s.section->utf8 +
                              "]', where twini cannot " + doing + " it"};
}

// Where lines end at CR LF and a lone LF stays inside a line, the text after a lone LF looks like a line
// of its own: reading it as part of a value would print it as one, editing the line would take it along.
[[noreturn]] void hidden_line(const step& s, bool reading) {
    if (reading) {
        const std::string what = s.key
                                     ? "key " + quoted(s.key->utf8) + " in section " + quoted(s.section->utf8)
                                     : "a key in section " + quoted(s.section->utf8);
        throw refusal{failed,
                      what +
                          " goes on past a lone line feed, which twini does not print as a line break; "
                          "--lf reads it as lines"};
    }
    const std::string where = "key " + quoted(s.key->utf8) + " in section " + quoted(s.section->utf8);
    throw refusal{failed, "a line of " + where +
                              " goes on past a lone line feed; --crlf edits it as one line, --lf as lines"};
}

// In the common dialect, a deletion that would leave a line after what it removes going on with the
// value of the setting before it: that value would change, and the line be lost to it.
[[noreturn]] void joins_value(const step& s) {
    const std::string what = s.key ? "key " + quoted(s.key->utf8) + " of section " + quoted(s.section->utf8)
                                   : "section " + quoted(s.section->utf8);
    throw refusal{failed, "deleting " + what +
                              " would join the line after it to the value of the key before it (it is "
                              "indented deeper, or that value ends with a backslash)"};
}

// The first operation that did not go as asked, in order: its refusal.
void check(const command& c, const std::vector<step>& steps,
           const std::vector<penmoor::session::answer>& answers) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const step& s = steps[i];
        const auto& a = answers[i];
        switch (s.what) {
            case verb::get:
            case verb::list:
                if (s.section && !a.section) section_missing(*s.section);
                if (s.key && !a.key) key_missing(s);
                if (a.line_feed && c.line_ends != lf_ends) hidden_line(s, true);
                break;
            case verb::set:
                if (!a.section && c.existing) section_missing(*s.section, "; --existing adds none");
                if (a.section && !a.key && c.existing) key_missing(s, "; --existing adds none");
                if (a.key && a.line_feed && c.line_ends == ends_as_found) hidden_line(s, false);
                if (a.beyond_repeat) beyond_repeat(s, "change");
                break;
            case verb::del:
                if (!a.section) section_missing(*s.section);
                if (a.joins_value) joins_value(s);
                if (!s.key) break;
                if (!a.key) key_missing(s);
                if (a.line_feed && c.line_ends == ends_as_found) hidden_line(s, false);
                if (a.beyond_repeat) beyond_repeat(s, "delete");
                break;
        }
    }
}

request request_of(const step& s, value_sink* out) {
    request r;
    r.what = s.what == verb::get    ? verb_t::get
             : s.what == verb::list ? verb_t::list
             : s.what == verb::set  ? verb_t::set
                                    : verb_t::del;
    if (s.section) r.section = s.section->bytes;
    if (s.key) r.key = s.key->bytes;
    r.value = s.value.bytes;
    r.out = out;
    return r;
}

// Whether the path names a regular file; a missing one is a failure unless --create.
void check_file(const command& c, const std::string& native) {
    struct stat st;
    if (platform::sys::calls().stat(native.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) throw refusal{failed, "Path/File access error: not a regular file"};
        return;
    }
    const int e = errno;
    if (e != ENOENT) platform::throw_errno(e, "examine", native);
    const auto entry = platform::link_status(native);
    if (entry && S_ISLNK(entry->st_mode)) {
        throw refusal{failed, "File not found: a symbolic link that leads to no file"};
    }
    if (!c.create) throw refusal{failed, "File not found (--create makes it)"};
    if (platform::sys::calls().stat(platform::directory_of(native).c_str(), &st) != 0) {
        platform::throw_errno(errno, "create", native);
    }
}

// In the exact dialect, a key not found whose name differs from one of the section's only by blanks
// around it, or by case: that one, for the message. Nothing otherwise.
std::optional<std::string> near_key(const command& c, const std::string& native, const step& s) {
    struct names final : value_sink {
        std::vector<std::string> all;
        void begin(std::string_view name) override { all.emplace_back(name); }
        void piece(std::string_view) override {}
    } listed;
    request r;
    r.what = verb_t::list;
    r.section = s.section->utf8;
    r.out = &listed;
    penmoor::session::options how;
    how.line_ends = c.line_ends;
    how.rules = penmoor::engine::dialect::exact;
    how.text = c.encoding;
    how.create = c.create;
    how.ascii_only = is_ascii(s.section->utf8);
    how.prepare = [&](platform::encoding set) {
        text section = *s.section;
        section.prepare(set);
        r.section = section.bytes;
    };
    try {
        penmoor::session::run(native, how, std::span(&r, 1), [](const auto&) { return false; });
    } catch (const std::exception&) {
        return std::nullopt;
    }
    auto folded = [](std::string_view name) {
        std::string f(platform::ini::trimmed(name));
        for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return f;
    };
    for (const std::string& name : listed.all) {
        if (folded(name) != folded(s.key->utf8)) continue;
        const bool blanks =
            platform::ini::trimmed(name) != name || platform::ini::trimmed(s.key->utf8) != s.key->utf8;
        return quoted(name) + " is there (" + (blanks ? "blanks count" : "case counts") + " in --exact)";
    }
    return std::nullopt;
}

result run_steps(const command& c, std::vector<step>& steps) {
    const platform::string path = platform::from_utf8(c.file);
    if (platform::to_utf8(path) != c.file) throw refusal{failed, "the path is not UTF-8"};
    const std::string native = platform::native_path(path);
    check_file(c, native);

    // Each request prints on its own, and the output is theirs in order: one pass meets the sections
    // in the order of the file.
    std::vector<std::unique_ptr<printer>> printers;
    std::vector<request> requests;
    for (const step& s : steps) {
        value_sink* sink = nullptr;
        if (s.what == verb::get || s.what == verb::list) {
            const auto f = s.what == verb::list ? printer::form::names
                           : s.key              ? printer::form::value
                                                : printer::form::pairs;
            printers.push_back(std::make_unique<printer>(f));
            sink = printers.back().get();
        }
        requests.push_back(request_of(s, sink));
        requests.back().existing_only = c.existing;
    }
    penmoor::session::options how;
    how.line_ends = c.line_ends;
    how.rules = c.exact ? penmoor::engine::dialect::exact : penmoor::engine::dialect::common;
    how.create = c.create;
    how.text = c.encoding;
    how.ascii_only = std::ranges::all_of(steps, [](const step& s) {
        return (!s.section || is_ascii(s.section->utf8)) && (!s.key || is_ascii(s.key->utf8)) &&
               is_ascii(s.value.utf8);
    });
    how.prepare = [&](platform::encoding set) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            step& s = steps[i];
            if (s.section) {
                s.section->prepare(set);
                requests[i].section = s.section->bytes;
            }
            if (s.key) {
                s.key->prepare(set);
                requests[i].key = s.key->bytes;
            }
            s.value.prepare(set);
            requests[i].value = s.value.bytes;
        }
    };
    std::optional<refusal> refused;
    const auto answers = penmoor::session::run(native, how, requests, [&](const auto& found) {
        try {
            check(c, steps, found);
        } catch (const refusal& r) {
            refused = r;
        }
        return !refused;
    });
    try {
        if (refused) throw *refused;
        check(c, steps, answers);
    } catch (refusal& r) {
        if (c.exact && r.missing) {
            if (const auto hint = near_key(c, native, *r.missing)) r.reason += "; " + *hint;
        }
        throw;
    }
    result r;
    r.changed = std::ranges::any_of(answers, [](const auto& a) { return a.changed; });
    output out;
    for (const auto& p : printers) out.append(p->printed());
    out.hand_to(r);
    return r;
}

result refused(int status, std::string message) {
    result r;
    r.status = status;
    r.message = std::move(message);
    return r;
}

// Text to be written: one line each (an LF ends lines unless --crlf), a setting name that reads back as
// itself, and in the common dialect names and values without blanks around them.
void check_writable(const step& s, bool lf_may_end, bool common) {
    for (const auto& [t, what] : {std::pair{&*s.section, "the section name"}, std::pair{&*s.key, "the key"},
                                  std::pair{&s.value, "the value"}}) {
        if (lf_may_end && t->utf8.find('\n') != std::string::npos) {
            throw refusal{failed, std::string(what) +
                                      " holds a line feed, which would end its line (only --crlf keeps one)"};
        }
    }
    for (const auto& why : {penmoor::rules::unwritable(s.section->utf8, "the section name", false),
                            penmoor::rules::unwritable_name(s.key->utf8, false),
                            penmoor::rules::unwritable(s.value.utf8, "the value", false)}) {
        if (why) throw refusal{failed, *why};
    }
    if (!common) return;
    for (const auto& why : {penmoor::rules::unwritable_section_common(s.section->utf8),
                            penmoor::rules::unwritable_common(s.key->utf8, "the key", true),
                            penmoor::rules::unwritable_common(s.value.utf8, "the value", false)}) {
        if (why) throw refusal{failed, *why + " (--exact keeps it)"};
    }
}

}  // namespace

result run(const command& c) {
    try {
        std::vector<step> steps;
        for (const operation& op : c.operations) {
            step s{op.what, {}, {}, {}};
            if (op.section) s.section = converted(*op.section, "the section name");
            if (op.key) s.key = converted(*op.key, "the key");
            if (op.what == verb::set) s.value = converted(op.value, "the value");
            steps.push_back(std::move(s));
        }
        for (const step& s : steps) {
            if (s.what == verb::set) check_writable(s, c.line_ends != crlf_ends, !c.exact);
        }
        return run_steps(c, steps);
    } catch (const refusal& r) {
        return refused(r.status, shown(c.file) + ": " + r.reason);
    } catch (const platform::runtime_error& e) {
        return refused(failed, shown(c.file) + ": " + reason_of(e));
    } catch (const std::bad_alloc&) {
        return refused(failed, shown(c.file) + ": out of memory");
    }
}

bool print(const result& r, int fd) {
    if (r.spilled) {
        char chunk[65536];
        for (off_t at = 0;;) {
            const std::size_t n = r.spilled->read_at(chunk, sizeof chunk, at);
            if (n == 0) break;
            if (!write_all(fd, std::string_view(chunk, n))) return false;
            at += static_cast<off_t>(n);
        }
    }
    return write_all(fd, r.out);
}

}  // namespace twini
