#include <algorithm>
#include <array>

#include "command.hpp"
#include "lists.hpp"
#include "tarnwick/files/file.hpp"

namespace twini {
namespace {

constexpr std::string_view see_help = "; see 'twini --help'";

// A form of an operation: a subcommand (its operands count FILE) or an operation option.
struct form {
    std::string_view name;
    verb what;
    std::size_t least, most;  // operands
    std::string_view shape;
};

constexpr std::array<form, 5> verbs{{
    {"get", verb::get, 2, 3, "get FILE SECTION [KEY]"},
    {"list", verb::list, 1, 2, "list FILE [SECTION]"},
    {"set", verb::set, 2, 4, "set FILE SECTION [KEY VALUE]"},
    {"del", verb::del, 2, 3, "del FILE SECTION [KEY]"},
    {"merge", verb::merge, 1, 2, "merge FILE [SECTION] < FRAGMENT"},
}};

// With --list, set and del name an item of the key's value.
constexpr std::array<form, 2> list_verbs{{
    {"set", verb::set, 4, 4, "set --list FILE SECTION KEY ITEM"},
    {"del", verb::del, 4, 4, "del --list FILE SECTION KEY ITEM"},
}};

constexpr std::array<form, 3> operation_options{{
    {"--get", verb::get, 1, 2, "--get SECTION [KEY]"},
    {"--set", verb::set, 3, 3, "--set SECTION KEY VALUE"},
    {"--del", verb::del, 1, 2, "--del SECTION [KEY]"},
}};

template <std::size_t N>
const form* find_form(const std::array<form, N>& forms, std::string_view name) {
    const auto found = std::ranges::find(forms, name, &form::name);
    return found == forms.end() ? nullptr : &*found;
}

// The operation of a form, from its operands after FILE: SECTION, KEY, VALUE as far as they go.
operation make_operation(verb what, std::span<const std::string_view> operands) {
    operation op;
    op.what = what;
    if (!operands.empty()) op.section = operands[0];
    if (operands.size() > 1) op.key = operands[1];
    if (operands.size() > 2) op.value = operands[2];
    return op;
}

parsed error(std::string message) {
    parsed p;
    p.what = parsed::kind::error;
    p.message = std::move(message);
    return p;
}

// The options that stand for themselves, and those that take a value after "=".
constexpr std::array<std::string_view, 11> plain_options{
    "--help", "-h",      "--version", "--existing",  "--create", "--crlf",
    "--lf",   "--exact", "--verbose", "--uncomment", "--list"};
constexpr std::string_view encoding_option = "--encoding=";
constexpr std::string_view format_option = "--format=";
constexpr std::string_view list_option = "--list=";

bool is_plain_option(std::string_view argument) {
    return std::ranges::find(plain_options, argument) != plain_options.end() ||
           argument.starts_with(encoding_option) || argument.starts_with(format_option) ||
           argument.starts_with(list_option);
}

// Applies one of the plain options to the command: what the call ends with at once, if anything.
std::optional<parsed> apply_option(std::string_view argument, command& c) {
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
    if (argument.starts_with(encoding_option)) {
        const std::string_view value = argument.substr(encoding_option.size());
        if (value == "utf8" || value == "utf-8" || value == "UTF-8") {
            c.format.text = platform::encoding::utf8;
        } else if (value == "cp1252" || value == "windows-1252" || value == "Windows-1252") {
            c.format.text = platform::encoding::cp1252;
        } else if (value == "auto") {
            c.format.text = platform::encoding::as_found;
        } else {
            return error("--encoding is utf8, cp1252 or auto, not '" + std::string(value) + "'" +
                         std::string(see_help));
        }
    } else if (argument.starts_with(format_option)) {
        const std::string_view value = argument.substr(format_option.size());
        constexpr std::array<std::pair<std::string_view, print_style>, 4> styles{
            {{"plain", print_style::plain},
             {"sh", print_style::sh},
             {"ini", print_style::ini},
             {"lines", print_style::lines}}};
        const auto found = std::ranges::find(styles, value, &std::pair<std::string_view, print_style>::first);
        if (found == styles.end()) {
            return error("--format is plain, sh, ini or lines, not '" + std::string(value) + "'" +
                         std::string(see_help));
        }
        c.style = found->second;
    } else if (argument == "--list") {
        c.list = std::string(default_list_separator);
    } else if (argument.starts_with(list_option)) {
        c.list = std::string(argument.substr(list_option.size()));
    } else if (argument == "--verbose") {
        c.verbose = true;
    } else if (argument == "--uncomment") {
        c.uncomment = true;
    } else if (argument == "--exact") {
        c.format.rules = platform::ini::dialect::exact;
    } else if (argument == "--existing") {
        c.existing = true;
    } else if (argument == "--create") {
        c.create = true;
    } else if (argument == "--crlf" || argument == "--lf") {
        const auto mode =
            argument == "--crlf" ? platform::line_ends_setting::crlf : platform::line_ends_setting::lf;
        if (c.format.ends != platform::line_ends_setting::as_found && c.format.ends != mode) {
            return error("--crlf and --lf exclude each other");
        }
        c.format.ends = mode;
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
parsed parse_verb(const form& verb_form, std::span<const std::string_view> rest, command c,
                  bool options_ended) {
    std::vector<std::string_view> operands;
    for (const std::string_view argument : rest) {
        if (!options_ended && argument == "--") {
            options_ended = true;
            continue;
        }
        if (!options_ended && looks_like_option(argument)) {
            if (!is_plain_option(argument)) return unknown_option(argument);
            if (auto stop = apply_option(argument, c)) return *stop;
            continue;
        }
        operands.push_back(argument);
    }
    const form* shape = &verb_form;
    if (c.list) {
        shape = find_form(list_verbs, verb_form.name);
        if (!shape) return error("--list goes with set and del" + std::string(see_help));
    }
    // A set names the section alone, or a key and its value.
    const bool lone_key = shape->what == verb::set && !c.list && operands.size() == 3;
    if (operands.size() < shape->least || operands.size() > shape->most || lone_key) {
        return error("usage: twini " + std::string(shape->shape) + std::string(see_help));
    }
    if (operands[0].empty()) return error("the empty path names no file");
    c.file = operands[0];
    c.operations.push_back(make_operation(verb_form.what, std::span(operands).subspan(1)));
    return run(std::move(c));
}

// The form FILE OPERATION...: each operation takes the arguments after it as they are.
parsed parse_operations(std::string_view file, std::span<const std::string_view> rest, command c) {
    if (file.empty()) return error("the empty path names no file");
    c.file = file;
    for (std::size_t i = 0; i < rest.size();) {
        const std::string_view argument = rest[i++];
        if (argument == "--list" || argument.starts_with(list_option)) {
            return error("--list goes with set and del" + std::string(see_help));
        }
        if (const form* option = find_form(operation_options, argument)) {
            std::vector<std::string_view> operands;
            while (operands.size() < option->most && i < rest.size()) {
                const std::string_view next = rest[i];
                // An optional operand is never one spelled as an option: that one starts what follows.
                if (operands.size() >= option->least &&
                    (is_plain_option(next) || find_form(operation_options, next))) {
                    break;
                }
                operands.push_back(next);
                ++i;
            }
            if (operands.size() < option->least) {
                return error("usage: " + std::string(option->shape) + std::string(see_help));
            }
            c.operations.push_back(make_operation(option->what, operands));
            continue;
        }
        if (!is_plain_option(argument)) {
            // A first word that is no command and names no file, and after it no operation: most likely a
            // command mistyped.
            if (c.operations.empty() && !looks_like_option(argument) &&
                !platform::exists(std::string(file))) {
                return error("unknown command '" + std::string(file) +
                             "': the commands are get, list, set and del, or FILE --get, --set and --del" +
                             std::string(see_help));
            }
            return error("after FILE come --get, --set and --del, not '" + std::string(argument) + "'" +
                         std::string(see_help));
        }
        if (auto stop = apply_option(argument, c)) return *stop;
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
        if (!is_plain_option(argument)) return unknown_option(argument);
        if (auto stop = apply_option(argument, c)) return *stop;
    }
    if (i == arguments.size()) return error("missing command" + std::string(see_help));
    const std::string_view first = arguments[i];
    const auto rest = arguments.subspan(i + 1);
    if (const form* verb_form = find_form(verbs, first))
        return parse_verb(*verb_form, rest, std::move(c), options_ended);
    return parse_operations(first, rest, std::move(c));
}

}  // namespace twini

namespace twini {

std::string_view help_text() {
    return R"(Usage: twini [OPTION]... get FILE SECTION [KEY]
       twini [OPTION]... list FILE [SECTION]
       twini [OPTION]... set FILE SECTION [KEY VALUE]
       twini [OPTION]... del FILE SECTION [KEY]
       twini [OPTION]... merge FILE [SECTION] < FRAGMENT
       twini [OPTION]... FILE OPERATION...
Read and edit an INI file; every edit replaces the file atomically, under its lock.

  get FILE SECTION KEY        print the key's value
  get FILE SECTION            print the section's settings as name=value lines
  list FILE                   print the section names, one a line
  list FILE SECTION           print the section's key names, one a line
  set FILE SECTION KEY VALUE  change the key's line that counts, or add the key
                              (and the section when it is missing)
  set FILE SECTION            add the section when it is missing
  del FILE SECTION KEY        delete the key's lines in the section
  del FILE SECTION            delete the section and its settings
  merge FILE [SECTION]        set every setting of the INI fragment on standard input
                              (its keys before a header go to SECTION, or to "")
FILE - reads standard input; an edit then prints the whole result on standard output.

Several operations on FILE, applied in order as one change (all or nothing):
  --get SECTION [KEY]         print as get does, seeing the earlier operations' edits
  --set SECTION KEY VALUE     as set
  --del SECTION [KEY]         as del

Options:
  --exact      the format as the controls read it by default: every character of a line
               counts (blanks around names and values too), no comments, no continuation
               lines; edits as the controls' own (a new key directly below the header)
  --encoding=E the file's character set: utf8, cp1252 (Windows-1252) or auto, the default:
               UTF-8 where the file is valid UTF-8 (or empty), else Windows-1252
  --existing   set and merge add nothing: a missing section or key is exit status 1
  --create     a missing FILE reads as empty, and an edit creates it
  --crlf       lines end at CR LF or a lone CR (a lone LF stays inside a line);
               lines written end with CR LF
  --lf         a lone LF ends a line too; lines written end with LF
               default: as the file's first line end says; LF in a file with none
  --format=F   how get and list print: plain (the default), sh (shell assignments),
               ini (header and key = value lines) or lines ([ section ] key = value)
  --list[=SEP] set adds ITEM to the list the key holds, del removes it; items are
               separated by SEP (default ", ")
  --uncomment  set of a missing key takes the place of its commented-out line
  --verbose    after an edit, say on standard error whether the file changed
  -h, --help   print this help and exit
  --version    print the version and exit

By default lines are read as most INI files on Linux are written: blanks around names and
values do not count, lines starting with ; or # are comments, a value goes on over lines
indented deeper than its key (or after a line ending in a backslash), "name: value" is a
setting too, and the lines before the first header are the section "". A section that
occurs twice is one section, and the last of two equal keys is the one that counts, as
for configparser, PHP and systemd; case counts.
Text on the command line and on output is UTF-8; text the file's character set cannot hold
is refused. Exit status: 0 done, 1 not found, 2 usage error, 3 file-system or text error
(the file as it was), 4 the file was changed but the output could not be written.
Run as crudini (a link of that name), twini takes crudini's command line.
)";
}

}  // namespace twini
