// How the command line is read: the subcommand forms, the form of several operations, and what is a
// usage error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command.hpp"

namespace {

using kind = twini::parsed::kind;

twini::parsed parse(std::vector<std::string_view> arguments) {
    return twini::parse(arguments);
}

// The operations as "verb section key value" lines, "-" for what is absent.
std::string shape(const twini::parsed& p) {
    static const char* names[] = {"get", "list", "set", "del"};
    std::string text;
    for (const auto& op : p.to_run.operations) {
        text += names[static_cast<int>(op.what)];
        text += " " + op.section.value_or("-") + " " + op.key.value_or("-");
        if (op.what == twini::verb::set) text += " " + op.value;
        text += "\n";
    }
    return text;
}

TEST(Subcommands, TakeTheirOptionalOperandsAndOptionsAnywhereUpToTheEnd) {
    auto p = parse({"get", "a.ini", "S"});
    ASSERT_EQ(p.what, kind::run) << p.message;
    EXPECT_EQ(p.to_run.file, "a.ini");
    EXPECT_EQ(shape(p), "get S -\n");
    p = parse({"list", "a.ini"});
    EXPECT_EQ(shape(p), "list - -\n");
    p = parse({"set", "a.ini", "--existing", "S", "k", "--lf", "v"});
    EXPECT_EQ(shape(p), "set S k v\n");
    EXPECT_TRUE(p.to_run.existing);
    EXPECT_EQ(p.to_run.line_ends, twini::lf_ends);
    // After "--", an operand may begin with "-", and an option is an operand.
    p = parse({"--crlf", "del", "a.ini", "--", "-S", "--create"});
    EXPECT_EQ(shape(p), "del -S --create\n");
    EXPECT_FALSE(p.to_run.create);
    EXPECT_EQ(p.to_run.line_ends, twini::crlf_ends);
}

TEST(Subcommands, AWrongCountOrAnUnknownOptionIsAUsageError) {
    for (const auto& arguments :
         std::vector<std::vector<std::string_view>>{{},
                                                    {"get", "a.ini"},
                                                    {"get", "a.ini", "S", "k", "x"},
                                                    {"set", "a.ini", "S", "k"},
                                                    {"list"},
                                                    {"del", "a.ini"},
                                                    {"set", "a.ini", "S", "k", "-5"},
                                                    {"get", "", "S"},
                                                    {"--crlf", "--lf", "get", "a.ini", "S"}}) {
        const auto p = parse(arguments);
        EXPECT_EQ(p.what, kind::error) << shape(p);
        EXPECT_FALSE(p.message.empty());
    }
    EXPECT_EQ(parse({"set", "a.ini", "S", "k", "-5"}).message,
              "unknown option '-5' (put -- before operands that begin with '-'); see 'twini --help'");
}

TEST(SeveralOperations, TakeTheirOperandsAsTheyAre) {
    auto p = parse({"a.ini", "--set", "S", "--del", "-1", "--del", "S", "--get", "T", "k", "--del", "U"});
    ASSERT_EQ(p.what, kind::run) << p.message;
    EXPECT_EQ(shape(p), "set S --del -1\ndel S -\nget T k\ndel U -\n");
    // An optional KEY is never one spelled as an option; options may follow the operations.
    p = parse({"a.ini", "--del", "S", "--existing", "--get", "S", "--lf"});
    EXPECT_EQ(shape(p), "del S -\nget S -\n");
    EXPECT_TRUE(p.to_run.existing);
    EXPECT_EQ(p.to_run.line_ends, twini::lf_ends);
    p = parse({"--", "--odd.ini", "--get", "S"});
    EXPECT_EQ(p.to_run.file, "--odd.ini");
}

TEST(SeveralOperations, NeedOneAtLeastAndNothingElse) {
    EXPECT_EQ(parse({"a.ini"}).what, kind::error);
    EXPECT_EQ(parse({"a.ini", "--set", "S", "k"}).what, kind::error);
    EXPECT_EQ(parse({"a.ini", "--get", "S", "k", "stray"}).message,
              "after FILE come --get, --set and --del, not 'stray'; see 'twini --help'");
}

TEST(HelpAndVersion, WinOverEverythingBeforeThem) {
    EXPECT_EQ(parse({"get", "--help"}).what, kind::help);
    EXPECT_EQ(parse({"-h"}).what, kind::help);
    EXPECT_EQ(parse({"a.ini", "--get", "S", "--version"}).what, kind::version);
    EXPECT_EQ(parse({"--bogus", "--help"}).what, kind::error);
}

}  // namespace
