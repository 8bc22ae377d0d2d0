// The built twhost on scripts far deeper or longer than any person writes: each ends in a clear syntax
// error or runs, and never dies of its stack (a death by signal fails the test). Then the interpreter's
// bound on the strings a script makes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "interpreter.hpp"
#include "parser.hpp"
#include "run_twhost.hpp"
#include "temp_dir.hpp"

namespace {

using test::outcome;
using test::run_twhost;

std::string repeat(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// Runs one script line through a script file, since a line this long does not fit one argument.
outcome run_line(const test::temp_dir& dir, const std::string& line) {
    test::write_file(dir / "deep.tws", line + "\n");
    return run_twhost(dir, {"deep.tws"});
}

constexpr int far_too_deep = 20000;

TEST(Nesting, TwentyThousandParenthesesAreASyntaxErrorAtTheLevelPastTheBound) {
    test::temp_dir dir;
    const outcome r = run_line(dir, "Print " + repeat("(", far_too_deep) + "1" + repeat(")", far_too_deep));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 2);
    // "Print " is six columns; the 257th parenthesis opens the level past the bound.
    EXPECT_EQ(r.err, "deep.tws:1:263: syntax error: expression nested more than 256 levels deep\n");
    EXPECT_EQ(r.out, "");
}

TEST(Nesting, UnaryMinusAndArgumentListsCountTowardTheSameBound) {
    test::temp_dir dir;
    outcome r = run_line(dir, "Print " + repeat("-", far_too_deep) + "1");
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "deep.tws:1:263: syntax error: expression nested more than 256 levels deep\n");

    r = run_line(dir, "Print " + repeat("Len(", far_too_deep) + "1" + repeat(")", far_too_deep));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 2);
    // The 257th argument list opens at its parenthesis, column 6 + 4 * 257.
    EXPECT_EQ(r.err, "deep.tws:1:1034: syntax error: expression nested more than 256 levels deep\n");

    // Mixed: 100 parentheses, 100 minus signs and 57 argument lists make 257 levels.
    r = run_line(dir,
                 "x = " + repeat("(", 100) + repeat("-", 100) + repeat("Len(", 57) + "1" + repeat(")", 157));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("syntax error: expression nested more than 256 levels deep"), std::string::npos)
        << r.err;
}

TEST(Nesting, ExpressionsUpToTheBoundRunAndGiveTheirValue) {
    test::temp_dir dir;
    outcome r = run_line(dir, "Print " + repeat("(", 256) + "7" + repeat(")", 256));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "7\n");

    r = run_line(dir, "Print " + repeat("-", 255) + "7");  // an odd count of minus signs
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-7\n");

    r = run_line(dir, "Print " + repeat("Len(", 255) + "\"seven\"" + repeat(")", 255));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");  // Len("seven") is 5, Len(5) is 1, and so on
}

TEST(Nesting, AChainOfAHundredThousandConcatenationsIsFlatAndRuns) {
    test::temp_dir dir;
    const int operands = 100000;
    const outcome r = run_line(dir, "Print Len(\"ab\"" + repeat(" & \"ab\"", operands - 1) + ")");
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 2000);
    EXPECT_EQ(r.out, std::to_string(2 * operands) + "\n");
}

TEST(Nesting, ConcatenationKeepsItsOrderAndCoercesEachOperand) {
    test::temp_dir dir;
    const outcome r =
        run_twhost(dir, {"-e", "n = 12 : Print \"a\" & n & -3 & True & (\"(\" & \"b\" & \")\") & \"\" & n"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a12-3True(b)12\n");
}

TEST(Strings, AConcatenationPastTheBoundIsError14AndTheRunGoesOnWithKeepGoing) {
    std::ostringstream out, err;
    twhost::interpreter host(out, err, &out);
    host.limit_strings(8);
    const auto statements = twhost::parse_script(
        "a = \"abcd\" & \"efgh\" : Print a\n"
        "b = a & \"i\" : Print \"not here\"\n"
        "Print Len(b), Len(a & \"\")\n");
    EXPECT_FALSE(host.run(statements, "s", true));
    EXPECT_EQ(out.str(), "abcdefgh\nnot here\n0 8\n");  // with keep_going the line goes on
    EXPECT_EQ(err.str(),
              "s:2: run-time error 14: Out of string space: the concatenation is longer than 8 characters\n");
}

}  // namespace
