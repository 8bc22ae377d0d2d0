#include "apply.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <new>

#include "refusal.hpp"
#include "session.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/sys.hpp"
#include "tarnwick/files/utf8.hpp"

namespace twini {
namespace {

using penmoor::session::request;
using verb_t = request::verb;

// What ends a command early: a status and its reason; for a key not found, which operation.
struct refusal {
    int status;
    std::string reason;
    const operation* missing = nullptr;
};

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// Text as far as it is UTF-8: a message never carries bytes that are not.
std::string shown(const std::string& utf8) {
    return platform::to_utf8(platform::from_utf8(utf8));
}

[[noreturn]] void section_missing(const operation& op, const char* more = "") {
    throw refusal{not_found, "section " + quoted(shown(*op.section)) + " not found" + more};
}

[[noreturn]] void key_missing(const operation& op, const char* more = "") {
    throw refusal{
        not_found,
        "key " + quoted(shown(*op.key)) + " not found in section " + quoted(shown(*op.section)) + more, &op};
}

// Where lines end at CR LF and a lone LF stays inside a line, the text after a lone LF looks like a line
// of its own: it is never printed as a line break.
[[noreturn]] void hidden_line(const operation& op) {
    const std::string what =
        op.key ? "key " + quoted(shown(*op.key)) + " in section " + quoted(shown(*op.section))
               : "a key in section " + quoted(shown(*op.section));
    throw refusal{failed, what +
                              " goes on past a lone line feed, which twini does not print as a line break; "
                              "--lf reads it as lines"};
}

// A name that holds a line feed would print as two lines.
[[noreturn]] void name_with_line_feed(const std::string& name) {
    throw refusal{failed,
                  "the name " + quoted(shown(name)) +
                      " holds a lone line feed, which twini does not print as a line break; --lf reads "
                      "it as lines"};
}

// The first operation that did not go as asked, in order: its refusal. printers: what each get and list
// printed (null for the others).
void check(const command& c, const std::vector<penmoor::session::answer>& answers,
           const std::vector<printer*>& printers) {
    for (std::size_t i = 0; i < c.operations.size(); ++i) {
        const operation& op = c.operations[i];
        const auto& a = answers[i];
        switch (op.what) {
            case verb::get:
            case verb::list:
                if (op.section && !a.section) section_missing(op);
                if (op.key && !a.key) key_missing(op);
                if (a.line_feed && c.format.ends != platform::line_ends_setting::lf) hidden_line(op);
                if (printers[i]->bad_name()) name_with_line_feed(*printers[i]->bad_name());
                break;
            case verb::set:
                if (!a.section && c.existing) section_missing(op, "; --existing adds none");
                if (a.section && !a.key && c.existing) key_missing(op, "; --existing adds none");
                if (a.refused) throw *a.refused;
                break;
            case verb::del:
                if (!a.section) section_missing(op);
                if (op.key && !a.key) key_missing(op);
                if (a.refused) throw *a.refused;
                break;
        }
    }
}

request request_of(const operation& op, bool existing, penmoor::value_sink* out) {
    request r;
    r.what = op.what == verb::get    ? verb_t::get
             : op.what == verb::list ? verb_t::list
             : op.what == verb::set  ? verb_t::set
                                     : verb_t::del;
    r.section = op.section;
    r.key = op.key;
    r.value = op.value;
    r.existing_only = existing;
    r.out = out;
    return r;
}

// Whether the path names a regular file; a missing one is a failure unless --create.
void check_file(const command& c) {
    struct stat st;
    if (platform::sys::calls().stat(c.file.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) throw refusal{failed, "Path/File access error: not a regular file"};
        return;
    }
    const int e = errno;
    if (e != ENOENT) platform::throw_errno(e, "examine", c.file);
    const auto entry = platform::link_status(c.file);
    if (entry && S_ISLNK(entry->st_mode)) {
        throw refusal{failed, "File not found: a symbolic link that leads to no file"};
    }
    if (!c.create) throw refusal{failed, "File not found (--create makes it)"};
}

// In the exact dialect, a key not found whose name differs from one of the section's only by blanks
// around it, or by case: that one, for the message. Nothing otherwise.
std::optional<std::string> near_key(const command& c, const operation& op) {
    struct names final : penmoor::value_sink {
        std::vector<std::string> all;
        void begin(std::string_view name) override { all.emplace_back(name); }
        void piece(std::string_view) override {}
    } listed;
    request r;
    r.what = verb_t::list;
    r.section = op.section;
    r.out = &listed;
    penmoor::session::options how;
    how.format = c.format;
    how.create = c.create;
    try {
        penmoor::session::run(c.file, how, std::span(&r, 1), [](const auto&) { return false; });
    } catch (const std::exception&) {
        return std::nullopt;
    }
    auto folded = [](std::string_view name) {
        std::string f(platform::ini::trimmed(name));
        for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return f;
    };
    for (const std::string& name : listed.all) {
        if (folded(name) != folded(*op.key)) continue;
        const bool blanks =
            platform::ini::trimmed(name) != name || platform::ini::trimmed(*op.key) != *op.key;
        return quoted(shown(name)) + " is there (" + (blanks ? "blanks count" : "case counts") +
               " in --exact)";
    }
    return std::nullopt;
}

result run_operations(const command& c) {
    check_file(c);
    // Each request prints on its own, and the output is theirs in order: one pass meets the sections in
    // the order of the file.
    std::vector<std::unique_ptr<printer>> printers;
    std::vector<printer*> printed_by;  // per operation
    std::vector<request> requests;
    for (const operation& op : c.operations) {
        printer* sink = nullptr;
        if (op.what == verb::get || op.what == verb::list) {
            const auto f = op.what == verb::list ? printer::form::names
                           : op.key              ? printer::form::value
                                                 : printer::form::pairs;
            printers.push_back(std::make_unique<printer>(f));
            sink = printers.back().get();
        }
        printed_by.push_back(sink);
        requests.push_back(request_of(op, c.existing, sink));
    }
    penmoor::session::options how;
    how.format = c.format;
    how.create = c.create;
    // What the operations found, checked before the change is kept and again once they have run.
    auto verdict = [&](const std::vector<penmoor::session::answer>& found) { check(c, found, printed_by); };
    std::optional<refusal> refused;
    const auto answers = penmoor::session::run(c.file, how, requests, [&](const auto& found) {
        try {
            verdict(found);
        } catch (const refusal& r) {
            refused = r;
        }
        return !refused;
    });
    try {
        if (refused) throw *refused;
        verdict(answers);
    } catch (refusal& r) {
        if (!c.format.common() && r.missing) {
            if (const auto hint = near_key(c, *r.missing)) r.reason += "; " + *hint;
        }
        throw;
    }
    result r;
    r.changed = std::ranges::any_of(answers, [](const auto& a) { return a.changed; });
    for (const auto& p : printers) r.out.append(p->printed());
    return r;
}

result refused(int status, std::string message) {
    result r;
    r.status = status;
    r.message = std::move(message);
    return r;
}

}  // namespace

result run(const command& c) {
    try {
        return run_operations(c);
    } catch (const refusal& r) {
        return refused(r.status, shown(c.file) + ": " + r.reason);
    } catch (const penmoor::refusal& r) {
        return refused(failed, shown(c.file) + ": " + std::string(r.detail()));
    } catch (const platform::runtime_error& e) {
        // An argument's fault needs no "Invalid procedure call"; everything else keeps the error's own
        // description and the system's text.
        const std::string reason(e.number() == platform::err::invalid_call ? e.detail() : e.what());
        return refused(failed, shown(c.file) + ": " + reason);
    } catch (const std::bad_alloc&) {
        return refused(failed, shown(c.file) + ": out of memory");
    }
}

}  // namespace twini
