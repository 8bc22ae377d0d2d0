// The statement language of twhost: a small BASIC-like language for driving controls.
//
//   Set w = CreateObject("quillset.ini")     ' by ProgID from the registry, or by the path of a library
//   w.CreateNew = True                       ' property put
//   w.addSetting "Paths", "Home", "C:\x"     ' method call, result dropped; parentheses optional
//   Print w.getSetting("Paths", "Home"), w.File   ' ", " prints a space between items, "; " nothing
//   n = r.GetNumberOfHeaders() : Print n     ' plain variables; ":" separates statements
//   Set w = Nothing                          ' releases the control
//   Click "tw_const_window", "Command1"      ' the user clicking a button of an open window
//   CloseWindow "tw_const_window"            ' the user closing it
//
// Expressions: "strings" ("" is a quote), integers (16-bit when they fit, else 32-bit), True, False,
// variables, obj.Member and obj.Member(args), the functions WindowText(window, control),
// WindowOpen(window) and Len(value), unary minus, & (concatenation), parentheses. Names are compared
// without regard to case; Click, CloseWindow and the function names are words of the language only where
// a statement or a call can stand, so a variable may still be called so. A ' starts a comment. A
// statement ends at the end of its line.
//
// Nesting is bounded: parentheses, unary minus and argument lists together may nest at most
// max_nesting levels deep; deeper is a syntax error. A chain of & is one flat node however long it is.
// So the parse, the evaluation and the destruction of an expression never recurse deeper than that bound,
// whatever the input.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace twhost {

// Levels of parentheses, unary minus and argument lists one expression may nest.
inline constexpr int max_nesting = 256;

struct expression;
using expression_ptr = std::unique_ptr<expression>;

struct expression {
    enum class kind {
        string,
        integer,
        boolean,
        nothing,
        variable,
        member,
        create_object,
        function,  // a function of the host's own, name in lower case: "windowtext", "windowopen", "len"
        negate,
        concat  // every operand of a chain a & b & c, in order: one node, never nested
    };
    kind what;
    int column = 0;
    std::u16string text;                   // string
    std::int32_t number = 0;               // integer, boolean (-1 / 0)
    std::string name;                      // variable; the object variable of member; function
    std::string member;                    // member
    std::vector<expression_ptr> operands;  // arguments of member / create_object, operands of an operator
};

struct statement {
    enum class kind { set, assign, put, call, print, click, close_window };
    kind what;
    int line = 0;
    int column = 0;
    std::string target;                     // the variable (set, assign) or object variable (put, call)
    std::string member;                     // put, call
    expression_ptr value;                   // set, assign, put
    std::vector<expression_ptr> arguments;  // call, click and close_window arguments; print items
    std::vector<char> separators;           // print: ',' or ';' after each item but the last
};

}  // namespace twhost
