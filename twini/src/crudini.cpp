#include "crudini.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fragment.hpp"
#include "lists.hpp"
#include "output.hpp"
#include "refusal.hpp"
#include "scratch.hpp"
#include "session.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/ini_line.hpp"
#include "tarnwick/files/line_end.hpp"
#include "tarnwick/files/runtime_error.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace twini::crudini {
namespace {

using penmoor::session::request;
using verb = request::verb;
using settings = std::vector<std::pair<std::string, std::string>>;

// What ends a call early: the text for standard error (nothing where only the help is printed), and
// whether the help follows it.
struct failure {
    std::string message;
    bool help = false;
    int status = 1;
};

[[noreturn]] void usage(std::string message = {}) {
    throw failure{std::move(message), true};
}
[[noreturn]] void fail(std::string message) {
    throw failure{std::move(message)};
}

enum class operation { none, set, get, del, merge };

struct invocation {
    operation what = operation::none;
    int operations = 0;  // operations named (one is allowed)
    // --existing: what must be there already.
    bool existing_file = false, existing_section = false, existing_param = false;
    print_style style = print_style::plain;
    bool nospace = false;
    bool list = false;
    std::string list_separator = std::string(default_list_separator);
    std::optional<std::string> output;
    bool verbose = false;
    bool help = false, version = false;
    std::vector<std::string> operands;  // FILE, SECTION, KEY, VALUE as far as given
    std::string option_name;            // the operation as named: "--set"
};

std::string_view help_text() {
    return R"(Usage: crudini --set [OPTION]...   FILE SECTION [KEY [VALUE]]
  or:  crudini --get [OPTION]...   FILE [SECTION [KEY]]
  or:  crudini --del [OPTION]...   FILE SECTION [KEY [ITEM]]
  or:  crudini --merge [OPTION]... FILE [SECTION]   (the INI fragment on standard input)
twini answering to crudini's command line: reads and edits INI files, every edit under the
file's lock and by an atomic replace. FILE "-" reads standard input and writes the result to
standard output. SECTION "" or DEFAULT is the keys before the first section and those of
[DEFAULT], on which every section's keys fall back.

Options:
  --existing[=WHAT]  --set, --del and --merge fail where an item is missing: WHAT is
                     file, section or param (the default: all of them)
  --format=FMT       how --get prints: sh, ini or lines
  --ini-options=OPT  nospace: new and changed lines are written name=value
  --inplace          accepted: twini always replaces the file atomically
  --list             --set adds an item to a list value, --del removes one
  --list-sep=STR     the list's separator (default ", "; empty: any blank)
  --output=FILE      the result goes to FILE instead (which must exist); - is standard output
  --verbose          say on standard error whether the file changed
  --help             print this help
  --version          print the version of the command line answered to

See twini(1), CRUDINI COMMAND LINE, for where twini and crudini differ.
)";
}

// Python's getopt, long options only: a unique prefix names an option; one that takes a value takes it
// after "=" or as the next argument; the first argument that is no option ends the options.
struct long_option {
    std::string_view name;
    bool takes_value;
};
constexpr long_option long_options[] = {
    {"set", false},   {"get", false},        {"del", false},     {"merge", false},   {"existing", true},
    {"format", true}, {"ini-options", true}, {"inplace", false}, {"list", false},    {"list-sep", true},
    {"output", true}, {"verbose", false},    {"help", false},    {"version", false},
};

void apply_option(invocation& inv, std::string_view name, std::string_view value) {
    auto operation_named = [&](operation o) {
        inv.what = o;
        ++inv.operations;
        inv.option_name = "--" + std::string(name);
    };
    if (name == "set") return operation_named(operation::set);
    if (name == "get") return operation_named(operation::get);
    if (name == "del") return operation_named(operation::del);
    if (name == "merge") return operation_named(operation::merge);
    if (name == "existing") {
        inv.existing_file = true;
        if (value == "file") return;
        inv.existing_section = true;
        if (value == "section") return;
        inv.existing_param = true;
        if (value.empty() || value == "param") return;
        usage("--existing item not recognized: " + std::string(value));
    }
    if (name == "format") {
        if (value == "sh") {
            inv.style = print_style::sh;
        } else if (value == "ini") {
            inv.style = print_style::ini;
        } else if (value == "lines") {
            inv.style = print_style::lines;
        } else {
            usage("--format not recognized: " + std::string(value));
        }
        return;
    }
    if (name == "ini-options") {
        if (value != "nospace") usage("--ini-options not recognized: " + std::string(value));
        inv.nospace = true;
        return;
    }
    if (name == "list") inv.list = true;
    if (name == "list-sep") inv.list_separator = value;
    if (name == "output") inv.output = std::string(value);
    if (name == "verbose") inv.verbose = true;
    if (name == "help") inv.help = true;
    if (name == "version") inv.version = true;
}

invocation parse(std::span<const std::string_view> arguments) {
    invocation inv;
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string_view a = arguments[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--existing") {  // the form without a value
            apply_option(inv, "existing", "");
            continue;
        }
        if (a.starts_with("--")) {
            const std::string_view body = a.substr(2);
            const std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const long_option* found = nullptr;
            int matches = 0;
            for (const long_option& o : long_options) {
                if (o.name == name) {
                    found = &o;
                    matches = 1;
                    break;
                }
                if (o.name.starts_with(name)) {
                    found = &o;
                    ++matches;
                }
            }
            if (matches == 0) usage("option --" + std::string(name) + " not recognized");
            if (matches > 1) usage("option --" + std::string(name) + " not a unique prefix");
            std::string_view value;
            if (equals != std::string_view::npos) {
                if (!found->takes_value)
                    usage("option --" + std::string(found->name) + " must not have an argument");
                value = body.substr(equals + 1);
            } else if (found->takes_value) {
                if (i + 1 >= arguments.size())
                    usage("option --" + std::string(found->name) + " requires argument");
                value = arguments[++i];
            }
            apply_option(inv, found->name, value);
            continue;
        }
        if (a.size() > 1 && a.front() == '-') usage("option -" + std::string(1, a[1]) + " not recognized");
        break;
    }
    for (; i < arguments.size(); ++i) inv.operands.emplace_back(arguments[i]);
    return inv;
}

// The operands an operation takes: too few prints the help; too many is refused where crudini refuses.
void check_operands(const invocation& inv) {
    const std::size_t n = inv.operands.size();
    switch (inv.what) {
        case operation::get:
            if (n < 1) usage();
            if (n > 3) usage("A value should not be specified with --get");
            break;
        case operation::set:
            if (n < 2) usage();
            break;
        case operation::del:
            if (n < 2) usage();
            if (n > 3 && !inv.list) usage("A value should not be specified with --del");
            break;
        case operation::merge:
            if (n < 1 || n > 2) usage();
            break;
        case operation::none:
            break;
    }
}

// --- How crudini reads: DEFAULT, case, comments after values ---

bool is_default(std::string_view section) {
    return section.empty() || section == "DEFAULT";
}

std::string shown_section(std::string_view section) {
    return is_default(section) ? "DEFAULT" : std::string(section);
}

// " ;" after a value (a blank or tab, then ";") starts a comment: no part of the value's first line.
std::string without_comment(std::string value) {
    const std::size_t line_end = std::min(value.find('\n'), value.size());
    const std::size_t comment = penmoor::inline_comment_at(std::string_view(value).substr(0, line_end));
    if (comment != std::string_view::npos) value.erase(comment, line_end - comment);
    return value;
}

// Collects a listing: names, or names and values.
class collected final : public penmoor::value_sink {
  public:
    void begin(std::string_view name) override { all.emplace_back(std::string(name), std::string()); }
    void piece(std::string_view text) override {
        if (all.empty()) all.emplace_back();
        all.back().second.append(text);
    }
    void restart() override { all.clear(); }
    settings all;
};

// The lookups one call makes, on the file as the transaction holds it.
class reading {
  public:
    explicit reading(const penmoor::session::lookup& look) : look_(look) {}

    // The sections in the order of the file, each once ("" for the keys before the first header).
    std::vector<std::string> sections() {
        collected names;
        request r;
        r.what = verb::list;
        r.out = &names;
        look_(std::span(&r, 1));
        std::vector<std::string> all;
        for (auto& [name, value] : names.all) all.push_back(name);
        return all;
    }
    bool has(const std::string& section) {
        const auto all = sections();
        return std::ranges::find(all, section) != all.end();
    }
    // The settings of a section (of both default sections for "" and DEFAULT); nothing where it is not
    // there.
    std::optional<settings> settings_of(const std::string& section) {
        if (is_default(section)) {
            settings merged;
            for (const std::string name : {"", "DEFAULT"}) {
                const auto own = own_settings(name);
                if (!own) continue;
                for (const auto& [key, value] : *own) {
                    const auto there = std::ranges::find(merged, key, &settings::value_type::first);
                    if (there != merged.end()) {
                        there->second = value;
                    } else {
                        merged.emplace_back(key, value);
                    }
                }
            }
            return merged;
        }
        return own_settings(section);
    }
    // A key's own value in the section (in a default section: [DEFAULT]'s, whose lines stand after the
    // keys before the first header, else theirs); section_found says whether the section is there.
    std::optional<std::string> own_value(const std::string& section, const std::string& key,
                                         bool* section_found = nullptr) {
        const std::vector<std::string> where =
            is_default(section) ? std::vector<std::string>{"DEFAULT", ""} : std::vector<std::string>{section};
        std::vector<penmoor::value_text> values(where.size());
        std::vector<request> gets(where.size());
        for (std::size_t i = 0; i < where.size(); ++i) {
            gets[i].section = where[i];
            gets[i].key = key;
            gets[i].out = &values[i];
        }
        const auto found = look_(gets);
        if (section_found) *section_found = is_default(section) || found[0].section;
        for (std::size_t i = 0; i < where.size(); ++i) {
            if (found[i].key) return without_comment(values[i].text());
        }
        return std::nullopt;
    }
    // A key's value as a lookup finds it: the section's own, else the default sections'.
    std::optional<std::string> value_of(const std::string& section, const std::string& key,
                                        bool* section_found = nullptr) {
        auto value = own_value(section, key, section_found);
        if (!value && !is_default(section) && (!section_found || *section_found)) value = own_value("", key);
        return value;
    }
    // Where a set of a default section goes: the keys before the first header where there are any (and
    // for DEFAULT, where no [DEFAULT] header stands), else [DEFAULT] where it stands; for "" and no
    // DEFAULT, the top of the file; for DEFAULT, a [DEFAULT] section made first in the file.
    struct target {
        std::string section;
        bool first = false;
    };
    target default_target(const std::string& asked) {
        const auto all = sections();
        const bool globals = std::ranges::find(all, "") != all.end();
        const bool header = std::ranges::find(all, "DEFAULT") != all.end();
        if (asked.empty()) return {globals || !header ? "" : "DEFAULT"};
        if (header) return {"DEFAULT"};
        if (globals) return {""};
        return {"DEFAULT", true};
    }

  private:
    std::optional<settings> own_settings(const std::string& section) {
        collected listing;
        request r;
        r.section = section;
        r.out = &listing;
        const auto found = look_(std::span(&r, 1));
        if (!found[0].section) return std::nullopt;
        for (auto& [key, value] : listing.all) value = without_comment(value);
        return listing.all;
    }

    const penmoor::session::lookup& look_;
};

// --- Checks before the file is read ---

std::string errno_text(int e, const std::string& path) {
    return "[Errno " + std::to_string(e) + "] " + std::strerror(e) + ": '" + path + "'";
}

// The file is missing (and may be made): false; an unusable one fails as crudini reports it.
bool check_file(const invocation& inv, const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        const int e = errno;
        if (e != ENOENT) fail(errno_text(e, path));
        const bool makes = inv.what == operation::set || inv.what == operation::merge;
        if (inv.what == operation::get || inv.existing_file) fail(errno_text(ENOENT, path));
        if (makes && !platform::is_directory(platform::directory_of(path))) fail(errno_text(ENOENT, path));
        return false;
    }
    if (S_ISDIR(st.st_mode)) fail(errno_text(EISDIR, path));
    const int wanted = inv.what == operation::get ? R_OK : R_OK | W_OK;
    if (::access(path.c_str(), wanted) != 0) fail(errno_text(errno, path));
    return true;
}

// Lines crudini cannot read: a line that begins with "[" and is no header, a key with no name, a key
// indented where no value goes on.
void check_lines(std::string_view text) {
    if (text.starts_with(platform::utf8_bom)) text.remove_prefix(platform::utf8_bom.size());
    platform::ini::value_context value;
    for (std::size_t number = 1; !text.empty(); ++number) {
        const char* end = platform::line_end::first(text.data(), text.size(), true);
        const std::size_t n = end ? static_cast<std::size_t>(end - text.data()) : text.size();
        const std::string_view line = text.substr(0, n);
        text.remove_prefix(n + (end ? platform::line_end::length(text, n) : 0));
        const auto shape = platform::ini::shape_of(line, true);
        if (platform::ini::continues_value(value, shape.what, shape.indent,
                                           platform::ini::ends_with_backslash(line)))
            continue;
        if (shape.what != platform::ini::kind::setting) continue;
        if (line[shape.indent] == '[' || shape.name.empty() || shape.indent > 0) {
            char at[32];
            std::snprintf(at, sizeof at, "[line %2zu]: ", number);
            fail(
                "Source contains parsing errors: '<?"
                "?"
                "?>'\n\t" +
                std::string(at) + std::string(line) + "\n");
        }
    }
}

std::string read_input(int fd) {
    std::string all;
    const int failed = read_to_end(fd, [&](std::string_view piece) { all.append(piece); });
    if (failed != 0)
        fail(failed == EBADF ? "stdin is closed" : std::string("stdin: ") + std::strerror(failed));
    return all;
}

bool open_fd(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

// --- The operations ---

penmoor::session::options how_for(const invocation& inv) {
    penmoor::session::options how;
    how.format = {platform::line_ends_setting::as_found, platform::encoding::as_found,
                  platform::ini::dialect::common, true};
    how.create = true;
    how.look.fold_case = true;
    how.look.new_setting = inv.nospace ? penmoor::style::form::tight : penmoor::style::form::spaced;
    how.look.wide_gap = true;
    how.look.continuation_indent = 8;
    how.look.blank_before_empty = true;
    how.look.bare_section_removal = true;
    how.look.inline_comments = true;
    return how;
}

// What a get prints.
std::string got(const invocation& inv, const std::string& path) {
    std::string out;
    penmoor::session::options how = how_for(inv);
    how.create = false;
    const std::size_t n = inv.operands.size();
    auto print = [&](printer& p) {
        p.finish();
        out += p.printed().str();
        if (p.bad_sh_name()) fail("Invalid sh identifier: " + *p.bad_sh_name());
    };
    const auto plan = [&](const penmoor::session::lookup& look, std::vector<request>&) {
        out.clear();
        reading file(look);
        if (n == 1) {
            std::vector<std::string> shown;
            const auto all = file.sections();
            if (std::ranges::any_of(all, [](const std::string& s) { return is_default(s); }))
                shown.push_back("DEFAULT");
            for (const std::string& s : all) {
                if (!is_default(s)) shown.push_back(s);
            }
            for (const std::string& s : shown) {
                if (inv.style == print_style::lines) {
                    printer p(printer::form::pairs, print_style::lines, s);
                    const settings own = file.settings_of(s).value_or(settings());
                    for (const auto& [key, value] : own) {
                        p.begin(key);
                        p.piece(value);
                        p.end();
                    }
                    print(p);
                } else {
                    out += inv.style == print_style::ini ? "[" + s + "]\n" : s + "\n";
                }
            }
            return;
        }
        const std::string& section = inv.operands[1];
        if (n == 2) {
            const auto all = file.settings_of(section);
            if (!all) fail("Section not found: " + section);
            const bool names = inv.style == print_style::plain;
            printer p(names ? printer::form::names : printer::form::pairs, inv.style, shown_section(section));
            if (inv.nospace) p.tight();
            for (const auto& [key, value] : *all) {
                p.begin(key);
                if (!names) {
                    p.piece(value);
                    p.end();
                }
            }
            print(p);
            return;
        }
        const std::string& key = inv.operands[2];
        bool section_found = false;
        const auto value = file.value_of(section, key, &section_found);
        if (!section_found) fail("Section not found: " + section);
        if (!value) fail("Parameter not found: " + key);
        printer p(printer::form::value, inv.style, shown_section(section), key);
        if (inv.nospace) p.tight();
        if (inv.style != print_style::plain) p.begin(key);
        p.piece(*value);
        p.end();
        print(p);
    };
    std::vector<request> none;
    penmoor::session::run(path, how, false, none, plan, [](const auto&) { return true; });
    return out;
}

// The requests of a set, del or merge, made under the file's lock from what it holds.

// A section name that a header line could not hold as crudini reads it.
void check_section_name(const std::string& name) {
    if (name.find_first_of("[]") != std::string::npos)
        fail("section names should not contain '[' or ']': " + name);
}

void plan_set(const invocation& inv, reading& file, std::vector<request>& requests) {
    const std::string& asked = inv.operands[1];
    check_section_name(asked);
    request r;
    r.what = verb::set;
    r.section = asked;
    if (is_default(asked)) {
        const auto to = file.default_target(asked);
        r.section = to.section;
        r.section_first = to.first;
    }
    const bool section_there = is_default(asked) ? !r.section_first : file.has(asked);
    if (!section_there && inv.existing_section) fail("Section not found: " + asked);
    if (inv.operands.size() < 3) {
        requests.push_back(r);  // the section alone
        return;
    }
    r.key = inv.operands[2];
    r.value = inv.operands.size() > 3 ? inv.operands[3] : "";
    const auto current = file.own_value(*r.section, *r.key);
    if (inv.existing_param && !current) fail("Parameter not found: " + *r.key);
    if (inv.list && inv.operands.size() > 3) {
        const auto changed = with_items(current.value_or(""), r.value, inv.list_separator);
        if (!changed) return;  // every item is there
        r.value = *changed;
    }
    requests.push_back(r);
}

void plan_del(const invocation& inv, reading& file, std::vector<request>& requests) {
    const std::string& asked = inv.operands[1];
    const std::vector<std::string> sections =
        is_default(asked) ? std::vector<std::string>{"", "DEFAULT"} : std::vector<std::string>{asked};
    const bool section_there = is_default(asked) || file.has(asked);
    if (!section_there && inv.existing_section) fail("Section not found: " + asked);
    if (!section_there) return;
    auto del = [&](const std::string& section, const std::optional<std::string>& key) {
        request r;
        r.what = verb::del;
        r.section = section;
        r.key = key;
        requests.push_back(r);
    };
    if (inv.operands.size() < 3) {
        for (const std::string& s : sections) del(s, std::nullopt);
        return;
    }
    const std::string& key = inv.operands[2];
    const auto current = file.own_value(asked, key);
    if (!current) {
        if (inv.existing_param) fail("Parameter not found: " + key);
        return;
    }
    if (inv.list && inv.operands.size() > 3) {
        const auto changed = without_item(*current, inv.operands[3], inv.list_separator);
        if (!changed) return;
        request r;
        r.what = verb::set;
        r.section = is_default(asked) ? file.default_target(asked).section : asked;
        r.key = key;
        r.value = *changed;
        requests.push_back(r);
        return;
    }
    for (const std::string& s : sections) del(s, key);
}

void plan_merge(const invocation& inv, reading& file, const fragment& f, std::vector<request>& requests) {
    for (const std::string& asked : f.sections) {
        check_section_name(asked);
        std::string section = asked;
        bool first = false;
        if (is_default(asked)) {
            const auto to = file.default_target(asked);
            section = to.section;
            first = to.first;
        }
        const bool there = is_default(asked) ? !first : file.has(section);
        if (!there && inv.existing_section) fail("Section not found: " + asked);
        bool any = false;
        for (const fragment::setting& s : f.settings) {
            if (s.section != asked) continue;
            any = true;
            request r;
            r.what = verb::set;
            r.section = section;
            r.section_first = first;
            r.key = s.key;
            r.value = s.value;
            r.existing_only = inv.existing_param;
            if (inv.list) {
                // The fragment's value: items added to the list the key holds.
                const auto changed =
                    with_items(file.own_value(section, s.key).value_or(""), s.value, inv.list_separator);
                if (!changed) continue;
                r.value = *changed;
            }
            requests.push_back(r);
            first = false;  // the first of its settings made it
        }
        if (!any) {
            request r;
            r.what = verb::set;
            r.section = section;
            r.section_first = first;
            requests.push_back(r);
        }
    }
}

// Runs a set, del or merge on the file at path: whether it changed.
bool edit(const invocation& inv, const std::string& path, const fragment* f) {
    const penmoor::session::options how = how_for(inv);
    std::vector<request> requests;
    const auto plan = [&](const penmoor::session::lookup& look, std::vector<request>& rs) {
        reading file(look);
        if (inv.what == operation::set) plan_set(inv, file, rs);
        if (inv.what == operation::del) plan_del(inv, file, rs);
        if (inv.what == operation::merge) plan_merge(inv, file, *f, rs);
    };
    const auto answers =
        penmoor::session::run(path, how, true, requests, plan, [](const auto&) { return true; });
    return std::ranges::any_of(answers, [](const auto& a) { return a.changed; });
}

// --- Standard streams ---

// Writes to standard output: the status a failure of it gives (a closed pipe is no failure).
void print(std::string_view text) {
    if (text.empty() || platform::write_all_to(STDOUT_FILENO, text)) return;
    if (errno == EPIPE) return;
    if (errno == EBADF) fail("stdout is closed");
    throw failure{"[Errno " + std::to_string(errno) + "] " + std::strerror(errno), false, 120};
}

void print_error(std::string_view text) {
    platform::write_all_to(STDERR_FILENO, text);
}

// The call's words as --verbose repeats them: DEFAULT for "", a word with blanks or quotes quoted.
std::string said(const invocation& inv) {
    std::string line = inv.option_name;
    for (std::size_t i = 0; i < inv.operands.size(); ++i) {
        const std::string& word =
            i == 1 && inv.operands[i].empty() ? std::string("DEFAULT") : inv.operands[i];
        line += ' ';
        line += sh_quoted(word);
    }
    return line;
}

int run(const invocation& inv, bool stdout_open) {
    const std::string& file = inv.operands[0];
    if (inv.what == operation::get && !stdout_open) fail("stdout is closed");
    if (inv.output == "-" && !stdout_open) fail("stdout is closed");
    std::optional<fragment> f;
    if (inv.what == operation::merge) {
        if (file == "-") fail("standard input cannot be both the file and the fragment to merge");
        const std::optional<std::string> into =
            inv.operands.size() > 1 ? std::optional<std::string>(inv.operands[1]) : std::nullopt;
        f = read_fragment(read_input(STDIN_FILENO), into);
        if (f->unread) {
            fail("line " + std::to_string(f->unread->first) +
                 " of the fragment holds no '=': " + f->unread->second);
        }
        for (fragment::setting& s : f->settings) s.value = without_comment(std::move(s.value));
    }
    // Where the operations run: the file itself, or a scratch copy of it (standard input, --output).
    const bool to_stdout = inv.output ? *inv.output == "-" : file == "-";
    std::optional<scratch> copy;
    std::string path = file;
    if (file == "-" || (inv.output && inv.what != operation::get)) {
        copy.emplace();
        if (file == "-") {
            copy->fill_from(STDIN_FILENO);
        } else if (check_file(inv, file)) {
            copy->fill_from(file);
        } else {
            copy->fill_from(std::string("/dev/null"));
        }
        path = copy->path();
    } else if (!check_file(inv, file)) {
        // A missing file: a del has nothing to do; a set or merge makes it.
        if (inv.what == operation::del) {
            if (inv.verbose) print_error("unchanged: " + said(inv) + "\n");
            return 0;
        }
    }
    if (platform::exists(path)) {
        platform::file in = platform::open_read(path);
        std::string text;
        std::vector<char> chunk(65536);
        for (off_t at = 0;;) {
            const std::size_t n = in.read_at(chunk.data(), chunk.size(), at);
            if (n == 0) break;
            text.append(chunk.data(), n);
            at += static_cast<off_t>(n);
        }
        check_lines(text);
    }
    if (inv.what == operation::get) {
        print(got(inv, path));
        return 0;
    }
    const bool changed = edit(inv, path, f ? &*f : nullptr);
    if (copy && to_stdout) {
        print(copy->content());
    } else if (copy && changed) {
        // --output=FILE: FILE, which must be there, takes the result.
        const std::string& target = *inv.output;
        struct stat st;
        if (::stat(target.c_str(), &st) != 0) {
            const int e = errno;
            fail(errno_text(e, platform::resolve(platform::directory_of(target)) + "/" +
                                   target.substr(target.find_last_of('/') + 1)));
        }
        penmoor::session::replace_content(target, copy->content());
    }
    if (inv.verbose) print_error((changed ? "changed: " : "unchanged: ") + said(inv) + "\n");
    return 0;
}

}  // namespace

int main(std::span<const std::string_view> arguments) {
    const bool stdout_open = open_fd(STDOUT_FILENO);
    invocation inv;
    try {
        inv = parse(arguments);
        if (inv.help) {
            if (stdout_open) {
                print(help_text());
            } else {
                print_error(help_text());
            }
            return 0;
        }
        if (inv.version) {
            print("crudini 0.9.4\n");
            return 0;
        }
        if (inv.operations == 0) usage("One of --set|--del|--get|--merge must be specified");
        if (inv.operations > 1) usage("One of --set|--del|--get|--merge can be specified");
        check_operands(inv);
        return run(inv, stdout_open);
    } catch (const failure& f) {
        if (!f.message.empty()) print_error(f.message + "\n");
        if (f.help) print_error(help_text());
        return f.status;
    } catch (const penmoor::refusal& r) {
        print_error(std::string(r.detail()) + "\n");
        return 1;
    } catch (const platform::runtime_error& e) {
        print_error(std::string(e.number() == platform::err::invalid_call ? e.detail() : e.what()) + "\n");
        return 1;
    } catch (const std::bad_alloc&) {
        print_error("out of memory\n");
        return 1;
    }
}

}  // namespace twini::crudini
