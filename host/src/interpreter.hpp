// Runs statements of the script language against controls created through their libraries' entry points.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "library.hpp"
#include "object.hpp"
#include "script.hpp"
#include "tarnwick/components/variant.hpp"
#include "windows.hpp"

namespace twhost {

class interpreter {
  public:
    // Printed results go to out; run-time errors to err; events to `events`, which may be out or err,
    // or nothing for none. Whatever goes to err or to events after a print comes after out is flushed,
    // so that a combined transcript keeps the order.
    interpreter(std::ostream& out, std::ostream& err, std::ostream* events);
    interpreter(const interpreter&) = delete;
    interpreter& operator=(const interpreter&) = delete;
    ~interpreter();

    // Runs the statements in order. Print writes each CR LF of a value as one line break. A failing
    // statement is reported as
    // "<source>:<line>: run-time error <number>: <message>" and ends the run unless keep_going is set;
    // memory running out is such a failure too (7). True when no statement failed.
    bool run(const std::vector<statement>& statements, const std::string& source, bool keep_going);

    // Releases every control, then unloads every library. A library that refuses to unload (a control of
    // it is still alive) is reported and stays loaded. True when every library was unloaded.
    bool shutdown();

    // The windows of every library loaded so far that offers them.
    window_hosts& windows() noexcept { return windows_; }

    // The longest string a concatenation may make, in UTF-16 units; longer is run-time error 14. By
    // default the longest a Long can count; a caller that must bound its memory sets less.
    void limit_strings(std::size_t units) noexcept { max_string_ = units; }

  private:
    struct value {
        platform::component::variant data;
        std::shared_ptr<object> control;  // set for an object value; "Nothing" is an object value without one
        bool is_object = false;
    };

    void execute(const statement& s);
    value evaluate(const expression& e, const std::string& name_for_events = "object");
    platform::component::variant scalar(const expression& e);
    platform::component::variant call(const std::string& target, const std::string& member,
                                      std::uint16_t flags, const std::vector<expression_ptr>& arguments);
    std::shared_ptr<object> control_of(const std::string& variable);
    std::shared_ptr<object> create(const std::vector<expression_ptr>& arguments, const std::string& name);
    std::shared_ptr<library> load(const std::string& path);
    void event(const std::string& line);
    void report(const std::string& source, int line, int number, std::string_view message);
    platform::component::variant function(const expression& e);
    std::string name_argument(const expression& e);

    std::ostream& out_;
    std::ostream& err_;
    std::ostream* events_;
    std::map<std::string, value> variables_;                     // by lower-case name
    std::map<std::string, std::shared_ptr<library>> libraries_;  // by path
    window_hosts windows_;                                       // of the libraries, while loaded
    std::size_t max_string_ = INT32_MAX;
};

}  // namespace twhost
