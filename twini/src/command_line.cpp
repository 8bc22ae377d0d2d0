#include <algorithm>
#include <array>

#include "command.hpp"

namespace twini {
namespace {

constexpr std::string_view see_help = "; see 'twini --help'";

struct verb_form {
    std::string_view name;
    verb what;
    std::size_t least, most;  // operands after the verb, FILE included
    std::string_view shape;
};

constexpr std::array<verb_form, 4> verbs{{
    {"get", verb::get, 2, 3, "get FILE SECTION [KEY]"},
    {"list", verb::list, 1, 2, "list FILE [SECTION]"},
    {"set", verb::set, 4, 4, "set FILE SECTION KEY VALUE"},
    {"del", verb::del, 2, 3, "del FILE SECTION [KEY]"},
}};

struct operation_form {
    std::string_view option;
    verb what;
    std::size_t least, most;
    std::string_view shape;
};

constexpr std::array<operation_form, 3> operation_options{{
    {"--get", verb::get, 1, 2, "--get SECTION [KEY]"},
    {"--set", verb::set, 3, 3, "--set SECTION KEY VALUE"},
    {"--del", verb::del, 1, 2, "--del SECTION [KEY]"},
}};

const operation_form* operation_option(std::string_view argument) {
    for (const auto& form : operation_options) {
        if (form.option == argument) return &form;
    }
    return nullptr;
}

parsed error(std::string message) {
    parsed p;
    p.what = parsed::kind::error;
    p.message = std::move(message);
    return p;
}

// The options that stand for themselves. Applies one to the command; nothing when it is none of them.
std::optional<parsed> apply_option(std::string_view argument, command& c, bool& known) {
    known = true;
    if (argument == "--help" || argument == "-h") {
        parsed p;
        p.what = parsed::kind::help;
        return p;
    }
    if (argument == "--version") {
        parsed p;
        p.what = parsed::kind::version;
        return p;
    }
    if (argument == "--existing") {
        c.existing = true;
    } else if (argument == "--create") {
        c.create = true;
    } else if (argument == "--crlf" || argument == "--lf") {
        const std::int16_t mode = argument == "--crlf" ? crlf_ends : lf_ends;
        if (c.line_ends != ends_as_found && c.line_ends != mode) {
            return error("--crlf and --lf exclude each other");
        }
        c.line_ends = mode;
    } else {
        known = false;
    }
    return std::nullopt;
}

bool looks_like_option(std::string_view argument) {
    return argument.size() > 1 && argument.front() == '-';
}

parsed unknown_option(std::string_view argument) {
    std::string message = "unknown option '" + std::string(argument) + "'";
    if (!argument.starts_with("--")) message += " (put -- before operands that begin with '-')";
    return error(message + std::string(see_help));
}

parsed run(command c) {
    parsed p;
    p.what = parsed::kind::run;
    p.to_run = std::move(c);
    return p;
}

// The subcommand forms: options anywhere up to "--", then operands only.
parsed parse_verb(const verb_form& form, std::span<const std::string_view> rest, command c,
                  bool options_ended) {
    std::vector<std::string_view> operands;
    for (const std::string_view argument : rest) {
        if (!options_ended && argument == "--") {
            options_ended = true;
            continue;
        }
        if (!options_ended && looks_like_option(argument)) {
            bool known = false;
            if (auto stop = apply_option(argument, c, known)) return *stop;
            if (!known) return unknown_option(argument);
            continue;
        }
        operands.push_back(argument);
    }
    if (operands.size() < form.least || operands.size() > form.most) {
        return error("usage: twini " + std::string(form.shape) + std::string(see_help));
    }
    if (operands[0].empty()) return error("the empty path names no file");
    c.file = operands[0];
    operation op;
    op.what = form.what;
    if (operands.size() > 1) op.section = operands[1];
    if (operands.size() > 2) op.key = operands[2];
    if (operands.size() > 3) op.value = operands[3];
    c.operations.push_back(std::move(op));
    return run(std::move(c));
}

// The form FILE OPERATION...: each operation takes the arguments after it as they are.
parsed parse_operations(std::string_view file, std::span<const std::string_view> rest, command c) {
    if (file.empty()) return error("the empty path names no file");
    c.file = file;
    for (std::size_t i = 0; i < rest.size();) {
        const std::string_view argument = rest[i++];
        if (const operation_form* form = operation_option(argument)) {
            std::vector<std::string_view> operands;
            while (operands.size() < form->most && i < rest.size()) {
                const std::string_view next = rest[i];
                // An optional operand is never one spelled as an option: that one starts what follows.
                if (operands.size() >= form->least) {
                    bool known = false;
                    command scratch;
                    (void)apply_option(next, scratch, known);
                    if (known || operation_option(next)) break;
                }
                operands.push_back(next);
                ++i;
            }
            if (operands.size() < form->least) {
                return error("usage: " + std::string(form->shape) + std::string(see_help));
            }
            operation op;
            op.what = form->what;
            op.section = operands[0];
            if (operands.size() > 1) op.key = operands[1];
            if (operands.size() > 2) op.value = operands[2];
            c.operations.push_back(std::move(op));
            continue;
        }
        bool known = false;
        if (auto stop = apply_option(argument, c, known)) return *stop;
        if (known) continue;
        return error("after FILE come --get, --set and --del, not '" + std::string(argument) + "'" +
                     std::string(see_help));
    }
    if (c.operations.empty()) {
        return error("nothing to do with '" + std::string(file) + "': give --get, --set or --del" +
                     std::string(see_help));
    }
    return run(std::move(c));
}

}  // namespace

parsed parse(std::span<const std::string_view> arguments) {
    command c;
    bool options_ended = false;
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (options_ended) break;
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (!looks_like_option(argument)) break;
        bool known = false;
        if (auto stop = apply_option(argument, c, known)) return *stop;
        if (!known) return unknown_option(argument);
    }
    if (i == arguments.size()) return error("missing command" + std::string(see_help));
    const std::string_view first = arguments[i];
    const auto rest = arguments.subspan(i + 1);
    const auto form = std::ranges::find(verbs, first, &verb_form::name);
    if (form != verbs.end()) return parse_verb(*form, rest, std::move(c), options_ended);
    return parse_operations(first, rest, std::move(c));
}

}  // namespace twini

namespace twini {

std::string_view help_text() {
    return R"(Usage: twini [OPTION]... get FILE SECTION [KEY]
       twini [OPTION]... list FILE [SECTION]
       twini [OPTION]... set FILE SECTION KEY VALUE
       twini [OPTION]... del FILE SECTION [KEY]
       twini [OPTION]... FILE OPERATION...
Read and edit an INI file; every edit replaces the file atomically, under its lock.

  get FILE SECTION KEY        print the key's value
  get FILE SECTION            print the section's settings as name=value lines
  list FILE                   print the section names, one a line
  list FILE SECTION           print the section's key names, one a line
  set FILE SECTION KEY VALUE  change the key's first line in the section, or add the key
                              (and the section when it is missing)
  del FILE SECTION KEY        delete the key's lines in the section
  del FILE SECTION            delete the section and its settings

Several operations on FILE, applied in order as one change (all or nothing):
  --get SECTION [KEY]         print as get does, seeing the earlier operations' edits
  --set SECTION KEY VALUE     as set
  --del SECTION [KEY]         as del

Options:
  --existing   set adds nothing: a missing section or key is exit status 1
  --create     a missing FILE reads as empty, and an edit creates it
  --crlf       lines end at CR LF or a lone CR (a lone LF stays inside a line);
               lines written end with CR LF
  --lf         a lone LF ends a line too; lines written end with LF
               default: as the file's first line end says; LF in a file with none
  -h, --help   print this help and exit
  --version    print the version and exit

Names and values are compared exactly (case and blanks count). Text on the command line and
on output is UTF-8; the file holds Windows-1252, and text it cannot hold is refused.
Exit status: 0 done, 1 not found, 2 usage error, 3 file-system or text error.
)";
}

}  // namespace twini
