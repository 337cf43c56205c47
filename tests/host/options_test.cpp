// The command line: flags before or after the command, values joined with
// '=' or following, negative numbers as operands, and the usage errors.
#include <gtest/gtest.h>

#include "host/cli/options.h"

namespace kelomr {
namespace {

Options Parse(std::vector<std::string> arguments) {
    Options options;
    std::string error;
    EXPECT_TRUE(ParseOptions(arguments, &options, &error)) << error;
    return options;
}

TEST(ParseOptions, FlagsMayComeBeforeOrAfterTheCommand) {
    Options options = Parse({"--timeout=10", "read", "01DM00100", "--instance", "3", "-v", "01DM00102F"});
    EXPECT_EQ(options.command, Command::Read);
    EXPECT_EQ(options.timeout, 10);
    EXPECT_EQ(options.instance, 3);
    EXPECT_TRUE(options.verbose);
    EXPECT_EQ(options.operands, (std::vector<std::string>{"01DM00100", "01DM00102F"}));
}

TEST(ParseOptions, NegativeNumbersAreValuesNotFlags) {
    Options options = Parse({"write", "01DM00100", "-5", "-0.25", "--", "--odd"});
    EXPECT_EQ(options.operands, (std::vector<std::string>{"01DM00100", "-5", "-0.25", "--odd"}));
}

TEST(ParseOptions, PollAndDemoSettings) {
    Options poll = Parse({"poll", "--count", "2", "--interval", "100", "--format", "json", "--file", "tags.txt"});
    EXPECT_EQ(poll.count, 2);
    EXPECT_EQ(poll.intervalMs, 100);
    EXPECT_EQ(poll.format, Format::Json);
    EXPECT_EQ(poll.file, "tags.txt");
    Options demo = Parse({"demo", "--seconds", "20", "--seconds", "3", "--tcp"});
    EXPECT_EQ(demo.seconds, 3); // the last one counts, so a script's default can be overridden
    EXPECT_TRUE(demo.tcp);
}

TEST(ParseOptions, UsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> arguments;
        const char *errorPart;
    } cases[] = {
        {{"read", "--bogus"}, "unknown option '--bogus'"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"read", "--timeout"}, "--timeout needs a value"},
        {{"read", "--timeout", "ten"}, "--timeout needs a whole number"},
        {{"read", "--timeout", "-1"}, "--timeout needs a whole number"},
        {{"read", "--instance", "1000"}, "0 to 999"},
        {{"read", "--count", "0"}, "--count needs a whole number from 1"},
        {{"read", "--seconds", "3"}, "--seconds does not apply to 'read'"},
        {{"--tcp", "poll"}, "--tcp does not apply to 'poll'"},
        {{"demo", "--dir", "/tmp"}, "--dir does not apply to 'demo'"},
        {{"poll", "--format", "xml"}, "table, csv or json"},
        {{"read", "--type", "double"}, "float, long, bit"},
        {{"read", "-v=1"}, "unknown option"},
        {{"read", "--verbose=yes"}, "takes no value"},
    };
    for (const Case &c : cases) {
        Options options;
        std::string error;
        EXPECT_FALSE(ParseOptions(c.arguments, &options, &error)) << c.arguments.back();
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

} // namespace
} // namespace kelomr
