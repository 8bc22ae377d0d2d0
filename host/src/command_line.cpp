#include "command_line.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace twhost {
namespace {

// The text of --help before the options and after them.
constexpr std::string_view help_before = R"(usage: twhost [options] [SCRIPT | -]

Runs statements against control plug-ins, printing each printed result on standard output and each
event ("w.State 64 TW_MADEFILE", "w.hasWrite") where --events says. Without SCRIPT or -e, reads
statements from standard input, interactively on a terminal.

)";

constexpr std::string_view help_after = R"(
Statements:
  Set w = CreateObject("quillset.ini")   create a control (a ProgID, or the path of a library)
  w.CreateNew = True                     set a property
  w.addSetting "Paths", "Home", "C:\x"   call a method; parentheses around the arguments are optional
  Print w.getSetting("Paths", "Home")    print values; "," puts a space between them, ";" nothing
  n = r.GetNumberOfHeaders()             a plain variable
  Set w = Nothing                        release a control
  w.showConstants                        open the writer's constants window, "tw_const_window"
  Click "tw_const_window", "Command1"    click a button of an open window
  Print WindowText("tw_const_window", "tw_const")   a control's text: the text area's, a caption
  CloseWindow "tw_const_window"          close an open window, as its user would
Values: "text" ("" for a quote), whole numbers, True, False, variables, obj.Member(args), -x, a & b,
WindowText(window, control), WindowOpen(window) (True while it is open), Len(value) (its length in
characters). ":" separates statements on a line, ' starts a comment. Print writes each CR LF of a value
as a line break. Parentheses, unary minus and argument lists nest at most 256 levels deep.

Messages name the source (the script, -e#N for the Nth -e, stdin), its line and, for a syntax error, the
column:
  script.tws:3:14: syntax error: expected a value
  -e#2:1: run-time error 53: File not found: ...

Windows: a control's window goes on screen where a display is present (DISPLAY), else it is headless: the
same window, open until a script closes it. twhost handles the messages of the windows on screen while
it waits for a statement on standard input, and at the end of the run it waits until the user has closed
every window on screen (not with --no-wait). It never waits for a headless window.

Your registry is the file named by TARNWICK_REGISTRY, else $XDG_CONFIG_HOME/tarnwick/registry, else
~/.config/tarnwick/registry. It is used only when it is a regular file that nobody but you (or root) may
write, in a directory nobody but you (or root) may write, and names libraries by absolute paths; else
it is refused with the reason. After it comes the system's registry, share/tarnwick/registry of the
installation twhost belongs to (or TARNWICK_SYSTEM_REGISTRY); a class of yours wins over one of it.
The system's registry and every library loaded are used only when they and every directory on the way
to them (and every link) are yours or root's and nobody else may write them (a sticky directory, as
/tmp, may be anyone's to write); a library is loaded from the descriptor that was checked.

Exit status: 0 when everything succeeded, 1 when a statement or an action failed, 2 for bad usage or a
syntax error.
)";

// How an option takes its value.
enum class takes {
    nothing,
    next_argument,  // "-e STATEMENTS": the next argument, whatever it looks like
    after_equals,   // "--events=WHERE": the rest of the same argument
};

// One option: its spellings, its value, its lines in --help, and what it sets in what the command line
// asks for.
struct option {
    std::string_view short_name;  // "-k", or empty
    std::string_view long_name;   // "--keep-going", or empty
    takes value;
    std::string_view value_name;  // the value as --help names it
    std::string_view help;        // each "\n" starts a line of its own, indented under the first
    void (*apply)(parsed&, std::string_view value);
};

void fail(parsed& p, std::string message) {
    p.what = parsed::kind::error;
    p.message = std::move(message);
}

void add_action(parsed& p, action::kind what, std::string_view argument) {
    p.to_run.actions.push_back({what, std::string(argument)});
}

void set_events(parsed& p, std::string_view where) {
    if (where == "stdout") {
        p.to_run.events = event_stream::standard_output;
    } else if (where == "stderr") {
        p.to_run.events = event_stream::standard_error;
    } else if (where == "none") {
        p.to_run.events = event_stream::none;
    } else {
        fail(p, "--events takes stdout, stderr or none, not '" + std::string(where) + "'");
    }
}

// In the order of --help.
constexpr std::array table{
    option{"-e", "", takes::next_argument, "STATEMENTS",
           "run STATEMENTS (may be given more than once, numbered -e#1, -e#2, ... in\n"
           "messages; runs before SCRIPT)",
           [](parsed& p, std::string_view v) { p.to_run.snippets.emplace_back(v); }},
    option{"-k", "--keep-going", takes::nothing, "",
           "go on after a failing statement; the exit status still reports it",
           [](parsed& p, std::string_view) { p.to_run.keep_going = true; }},
    option{"", "--no-wait", takes::nothing, "", "exit at the end of the run even while windows are on screen",
           [](parsed& p, std::string_view) { p.to_run.wait = false; }},
    option{"", "--headless", takes::nothing, "",
           "keep every window off the screen, even where a display is present",
           [](parsed& p, std::string_view) { p.to_run.headless = true; }},
    option{"", "--register", takes::next_argument, "LIB",
           "register the control class of library LIB (a path) in your registry",
           [](parsed& p, std::string_view v) { add_action(p, action::register_library, v); }},
    option{"", "--unregister", takes::next_argument, "LIB", "remove it from your registry again",
           [](parsed& p, std::string_view v) { add_action(p, action::unregister_library, v); }},
    option{"", "--list", takes::nothing, "", "list the registered classes, yours and the system's",
           [](parsed& p, std::string_view) { add_action(p, action::list, {}); }},
    option{"", "--info", takes::next_argument, "CLASS",
           "describe a class, named by ProgID or library path: type information, version\n"
           "record, misc status, design-time face and toolbox bitmap",
           [](parsed& p, std::string_view v) { add_action(p, action::info, v); }},
    option{"", "--bitmap", takes::next_argument, "FILE",
           "with --info: also write the class's toolbox bitmap (.bmp) to FILE",
           [](parsed& p, std::string_view v) { p.to_run.bitmap = v; }},
    option{"", "--events", takes::after_equals, "WHERE",
           "where event lines go: stdout, stderr or none; by default standard output when it\n"
           "is a terminal and standard error otherwise, so that $(twhost -e 'Print ...')\n"
           "captures printed values only",
           set_events},
    option{"", "--version", takes::nothing, "", "show the version",
           [](parsed& p, std::string_view) { p.what = parsed::kind::version; }},
    option{"-h", "--help", takes::nothing, "", "show this help",
           [](parsed& p, std::string_view) { p.what = parsed::kind::help; }},
};

// The option that argument spells, if any; for one whose value follows "=", value is set to that value.
const option* find_option(std::string_view argument, std::string_view& value) {
    for (const option& o : table) {
        for (const std::string_view name : {o.short_name, o.long_name}) {
            if (name.empty() || !argument.starts_with(name)) continue;
            const std::string_view rest = argument.substr(name.size());
            if (o.value != takes::after_equals && rest.empty()) return &o;
            if (o.value == takes::after_equals && rest.starts_with('=')) {
                value = rest.substr(1);
                return &o;
            }
        }
    }
    return nullptr;
}

// The option as --help shows it: "-k, --keep-going", "--register LIB", "--events=WHERE".
std::string spelling(const option& o) {
    std::string text(o.short_name);
    if (!o.short_name.empty() && !o.long_name.empty()) text += ", ";
    text += o.long_name;
    if (o.value == takes::next_argument) text.append(" ").append(o.value_name);
    if (o.value == takes::after_equals) text.append("=").append(o.value_name);
    return text;
}

}  // namespace

parsed parse(std::span<const std::string> arguments) {
    parsed p;
    for (std::size_t i = 0; i < arguments.size() && p.what == parsed::kind::run; ++i) {
        const std::string& argument = arguments[i];
        std::string_view value;
        if (const option* o = find_option(argument, value)) {
            if (o->value == takes::next_argument) {
                if (i + 1 == arguments.size()) {
                    fail(p, argument + " needs a value (see twhost --help)");
                    break;
                }
                value = arguments[++i];
            }
            o->apply(p, value);
        } else if (argument.size() > 1 && argument[0] == '-') {
            fail(p, "unknown option '" + argument + "' (see twhost --help)");
        } else if (p.to_run.script) {
            fail(p, "more than one script given ('" + *p.to_run.script + "', '" + argument + "')");
        } else {
            p.to_run.script = argument;
        }
    }
    if (p.what == parsed::kind::run && !p.to_run.bitmap.empty() &&
        std::ranges::none_of(p.to_run.actions, [](const action& a) { return a.what == action::info; })) {
        fail(p, "--bitmap goes with --info");
    }
    return p;
}

std::string help_text() {
    std::size_t width = 0;
    for (const option& o : table) width = std::max(width, spelling(o).size());
    const std::string indent(2 + width + 2, ' ');
    std::string text(help_before);
    for (const option& o : table) {
        const std::string shown = spelling(o);
        text.append("  ").append(shown).append(width + 2 - shown.size(), ' ');
        for (const char c : o.help) {
            text += c;
            if (c == '\n') text += indent;
        }
        text += '\n';
    }
    text += help_after;
    return text;
}

}  // namespace twhost
