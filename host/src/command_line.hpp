// What one call of twhost asks for, and how its command line says it. The options are one table, in
// command_line.cpp, from which both the parse and the text of --help come.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace twhost {

// A registry action; the actions run in the order given, before any statement.
struct action {
    enum kind { register_library, unregister_library, list, info } what;
    std::string argument;  // the library's path or the class; empty for list
};

// Where event lines go. By default to standard output when it is a terminal, else to standard error.
enum class event_stream { by_default, standard_output, standard_error, none };

struct options {
    std::vector<std::string> snippets;  // the statements of each -e, in order
    std::optional<std::string> script;  // SCRIPT as given; "-" is standard input
    std::vector<action> actions;
    std::string bitmap;  // where --info writes the toolbox bitmap; empty for nowhere
    bool keep_going = false;
    bool wait = true;  // at the end of the run, for the windows on screen
    bool headless = false;
    event_stream events = event_stream::by_default;
};

// What the command line asks for: a run, the help text, the version, or a usage error (message says
// what is wrong, in one line, without the program's name).
struct parsed {
    enum class kind { run, help, version, error } what = kind::run;
    options to_run;
    std::string message;
};

// Reads the arguments after the program's name, in order: an option and its value, or SCRIPT, at most
// once. An option that takes a value takes the next argument, whatever it looks like ("-e -k" runs
// "-k"), except --events, whose value follows "=". The first error, --help or --version ends the
// parse there; so "--help --bogus" is the help and "--bogus --help" an error. Any other argument that
// begins with "-" and is longer than that is an unknown option ("--" too); "-" alone is SCRIPT.
parsed parse(std::span<const std::string> arguments);

// The text of --help: the usage, each option of the table with its help, then the statement language.
std::string help_text();

}  // namespace twhost
