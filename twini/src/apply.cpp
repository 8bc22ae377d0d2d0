#include "apply.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <new>

#include "fragment.hpp"
#include "lists.hpp"
#include "refusal.hpp"
#include "scratch.hpp"
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
    std::optional<operation> missing = std::nullopt;
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
        "key " + quoted(shown(*op.key)) + " not found in section " + quoted(shown(*op.section)) + more, op};
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

[[noreturn]] void item_missing(const operation& op) {
    throw refusal{not_found,
                  "item " + quoted(shown(op.value)) + " not found in key " + quoted(shown(*op.key)) +
                      " of section " + quoted(shown(*op.section)),
                  op};
}

// A name that holds a line feed would print as two lines.
[[noreturn]] void name_with_line_feed(const std::string& name) {
    throw refusal{failed,
                  "the name " + quoted(shown(name)) +
                      " holds a lone line feed, which twini does not print as a line break; --lf reads "
                      "it as lines"};
}

// The requests an operation runs as: one, or a merge's one a setting (and one a section without any).
struct planned {
    std::size_t first = 0, count = 1;
    printer* out = nullptr;  // get and list
};

// The first operation that did not go as asked, in order: its refusal.
void check(const command& c, const std::vector<penmoor::session::answer>& answers,
           const std::vector<request>& requests, const std::vector<planned>& plan) {
    for (std::size_t i = 0; i < c.operations.size(); ++i) {
        const operation& op = c.operations[i];
        for (std::size_t n = plan[i].first; n < plan[i].first + plan[i].count; ++n) {
            const auto& a = answers[n];
            const request& r = requests[n];
            operation asked = op;
            asked.section = r.section;
            asked.key = r.key;
            switch (op.what) {
                case verb::get:
                case verb::list:
                    if (op.section && !a.section) section_missing(op);
                    if (op.key && !a.key) key_missing(op);
                    if (a.line_feed && c.format.ends != platform::line_ends_setting::lf) hidden_line(op);
                    if (plan[i].out->bad_name()) name_with_line_feed(*plan[i].out->bad_name());
                    if (plan[i].out->bad_sh_name()) {
                        throw refusal{failed, "the name " + quoted(shown(*plan[i].out->bad_sh_name())) +
                                                  " is no shell variable's (--format=sh)"};
                    }
                    break;
                case verb::set:
                case verb::merge:
                    if (!a.section && c.existing) section_missing(asked, "; --existing adds none");
                    if (a.section && r.key && !a.key && c.existing)
                        key_missing(asked, "; --existing adds none");
                    if (a.refused) throw *a.refused;
                    break;
                case verb::del:
                    if (!a.section) section_missing(op);
                    if (op.key && !a.key) key_missing(op);
                    if (c.list && r.what == verb_t::get) item_missing(op);
                    if (a.refused) throw *a.refused;
                    break;
            }
        }
    }
}

request request_of(const operation& op, bool existing, penmoor::value_sink* out) {
    request r;
    r.what = op.what == verb::get    ? verb_t::get
             : op.what == verb::list ? verb_t::list
             : op.what == verb::del  ? verb_t::del
                                     : verb_t::set;
    r.section = op.section;
    r.key = op.key;
    r.value = op.value;
    r.existing_only = existing;
    r.out = out;
    return r;
}

// Whether the path names a regular file; a missing one is a failure unless --create.
void check_file(const command& c, const std::string& path) {
    struct stat st;
    if (platform::sys::calls().stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) throw refusal{failed, "Path/File access error: not a regular file"};
        return;
    }
    const int e = errno;
    if (e != ENOENT) platform::throw_errno(e, "examine", path);
    const auto entry = platform::link_status(path);
    if (entry && S_ISLNK(entry->st_mode)) {
        throw refusal{failed, "File not found: a symbolic link that leads to no file"};
    }
    if (!c.create) throw refusal{failed, "File not found (--create makes it)"};
}

// In the exact dialect, a key not found whose name differs from one of the section's only by blanks
// around it, or by case: that one, for the message. Nothing otherwise.
std::optional<std::string> near_key(const command& c, const std::string& path, const operation& op) {
    penmoor::name_list listed;
    request r;
    r.what = verb_t::list;
    r.section = op.section;
    r.out = &listed;
    penmoor::session::options how;
    how.format = c.format;
    how.create = c.create;
    try {
        penmoor::session::run(path, how, std::span(&r, 1), [](const auto&) { return false; });
    } catch (const std::exception&) {
        return std::nullopt;
    }
    auto folded = [](std::string_view name) {
        std::string f(platform::ini::trimmed(name));
        for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return f;
    };
    for (const std::string& name : listed.names) {
        if (folded(name) != folded(*op.key)) continue;
        const bool blanks =
            platform::ini::trimmed(name) != name || platform::ini::trimmed(*op.key) != *op.key;
        return quoted(shown(name)) + " is there (" + (blanks ? "blanks count" : "case counts") +
               " in --exact)";
    }
    return std::nullopt;
}

// Standard input, whole.
std::string read_all(int fd) {
    std::string all;
    const int failed = read_to_end(fd, [&](std::string_view piece) { all.append(piece); });
    if (failed != 0) platform::throw_errno(failed, "read", "standard input");
    return all;
}

// A merge's requests: a set for each setting of the fragment, and for each section without one.
void plan_merge(const command& c, const operation& op, std::vector<request>& requests) {
    const fragment f = read_fragment(read_all(c.input), op.section);
    if (f.unread) {
        throw refusal{failed, "line " + std::to_string(f.unread->first) + " of the fragment (" +
                                  quoted(shown(f.unread->second)) +
                                  ") is no header, setting, comment or blank line"};
    }
    for (const std::string& section : f.sections) {
        bool any = false;
        for (const fragment::setting& s : f.settings) {
            if (s.section != section) continue;
            any = true;
            requests.push_back(request_of({verb::set, s.section, s.key, s.value}, c.existing, nullptr));
        }
        if (!any) requests.push_back(request_of({verb::set, section, std::nullopt, {}}, c.existing, nullptr));
    }
}

// With --list: each set and del made from the value the key holds (under the file's lock).
void plan_lists(const command& c, const penmoor::session::lookup& look, std::span<request> requests) {
    for (request& r : requests) {
        if (r.what == verb_t::get || r.what == verb_t::list) continue;
        penmoor::value_text now;
        request get;
        get.section = r.section;
        get.key = r.key;
        get.out = &now;
        const auto found = look(std::span(&get, 1));
        const std::string item = r.value;
        const auto changed = !found[0].key ? (r.what == verb_t::set ? std::optional(item) : std::nullopt)
                             : r.what == verb_t::set ? with_items(now.text(), item, *c.list)
                                                     : without_item(now.text(), item, *c.list);
        if (!changed) {
            // Nothing to change: the request only looks, and its answer tells what was there.
            r.what = verb_t::get;
            r.out = nullptr;
            continue;
        }
        r.what = verb_t::set;
        r.value = *changed;
    }
}

// list --format=lines of the whole file: every section's settings, read in one more pass.
void plan_every_setting(const command& c, printer& out, const penmoor::session::lookup& look) {
    penmoor::name_list sections;
    request list;
    list.what = verb_t::list;
    list.out = &sections;
    look(std::span(&list, 1));
    std::vector<std::unique_ptr<printer>> each;
    std::vector<request> gets;
    for (const std::string& name : sections.names) {
        each.push_back(std::make_unique<printer>(printer::form::pairs, c.style, name));
        request get;
        get.section = name;
        get.out = each.back().get();
        gets.push_back(get);
    }
    look(gets);
    for (auto& p : each) {
        p->finish();
        out.printed().append(p->printed());
    }
}

bool edits(const command& c) {
    return std::ranges::any_of(c.operations, [](const operation& op) {
        return op.what == verb::set || op.what == verb::del || op.what == verb::merge;
    });
}

result run_operations(const command& c, const std::string& path) {
    check_file(c, path);
    // Each request prints on its own, and the output is theirs in order: one pass meets the sections in
    // the order of the file.
    std::vector<std::unique_ptr<printer>> printers;
    std::vector<planned> plan;
    std::vector<request> requests;
    printer* every_setting = nullptr;  // list --format=lines of the whole file
    for (const operation& op : c.operations) {
        planned p;
        p.first = requests.size();
        if (op.what == verb::get || op.what == verb::list) {
            const auto f = op.what == verb::list ? printer::form::names
                           : op.key              ? printer::form::value
                                                 : printer::form::pairs;
            printers.push_back(
                std::make_unique<printer>(f, c.style, op.section.value_or(""), op.key.value_or("")));
            p.out = printers.back().get();
        }
        if (op.what == verb::merge) {
            plan_merge(c, op, requests);
        } else if (op.what == verb::list && !op.section && c.style == print_style::lines) {
            every_setting = p.out;
            p.count = 0;
        } else {
            requests.push_back(request_of(op, c.existing, p.out));
            requests.back().uncomment = c.uncomment;
        }
        p.count = requests.size() - p.first;
        plan.push_back(p);
    }
    penmoor::session::options how;
    how.format = c.format;
    how.create = c.create;
    // What the operations found, checked before the change is kept and again once they have run.
    auto verdict = [&](const std::vector<penmoor::session::answer>& found) {
        check(c, found, requests, plan);
    };
    std::optional<refusal> refused;
    const auto accept = [&](const std::vector<penmoor::session::answer>& found) {
        try {
            verdict(found);
        } catch (const refusal& r) {
            refused = r;
        }
        return !refused;
    };
    std::vector<penmoor::session::answer> answers;
    if (c.list || every_setting) {
        // Made from what the file holds, under its lock.
        const std::vector<request> asked = requests;
        const auto made = [&](const penmoor::session::lookup& look, std::vector<request>& rs) {
            rs = asked;
            if (c.list) plan_lists(c, look, rs);
            if (every_setting) {
                every_setting->restart();
                plan_every_setting(c, *every_setting, look);
            }
        };
        answers = penmoor::session::run(path, how, edits(c), requests, made, accept);
    } else {
        answers = penmoor::session::run(path, how, requests, accept);
    }
    try {
        if (refused) throw *refused;
        verdict(answers);
    } catch (refusal& r) {
        if (!c.format.common() && r.missing) {
            if (const auto hint = near_key(c, path, *r.missing)) r.reason += "; " + *hint;
        }
        throw;
    }
    result r;
    r.changed = std::ranges::any_of(answers, [](const auto& a) { return a.changed; });
    for (const auto& p : printers) {
        p->finish();
        r.out.append(p->printed());
    }
    return r;
}

// FILE "-": the operations run on a scratch copy of standard input, and an edit's result, changed or not,
// follows what they print.
result run_on_input(const command& c) {
    if (std::ranges::any_of(c.operations, [](const operation& op) { return op.what == verb::merge; })) {
        throw refusal{failed, "standard input cannot be both FILE and the fragment to merge"};
    }
    scratch copy;
    copy.fill_from(c.input);
    result r = run_operations(c, copy.path());
    if (edits(c)) {
        output file;
        file.add(copy.content());
        r.out.append(file);
    }
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
        return c.file == "-" ? run_on_input(c) : run_operations(c, c.file);
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
