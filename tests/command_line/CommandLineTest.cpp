#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line/CommandLine.h"

namespace kalvero {
namespace {

const OptionNames kNames{{"--json", "-h"}, {"--depth", "--out"}};

// "name=value" for options, "value" for operands: the words in one string.
std::string Shown(const std::vector<CommandWord>& words) {
    std::string shown;
    for (const CommandWord& w : words) {
        shown += (shown.empty() ? "" : " ") + (w.IsOperand() ? "[" + w.value + "]" : w.name + "=" + w.value);
    }
    return shown;
}

struct SplitCase {
    std::vector<std::string> args;
    std::string words;    // Shown() of the words, when `message` is empty
    std::string message;  // the refusal expected
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SeparatesOptionsValuesAndOperands) {
    const SplitCase& c = GetParam();
    std::vector<CommandWord> words;
    EXPECT_EQ(SplitCommandLine(c.args, kNames, words), c.message);
    if (c.message.empty()) {
        EXPECT_EQ(Shown(words), c.words);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{{"a.avi", "--depth", "12", "--json"}, "[a.avi] --depth=12 --json=", ""},
        SplitCase{{"--depth=12", "b"}, "--depth=12 [b]", ""},
        // A value may be empty, contain '=' or start with a dash.
        SplitCase{{"--out=", "--depth", "-3", "--out=a=b"}, "--out= --depth=-3 --out=a=b", ""},
        // "--" ends the options; a second "--" is then an operand.
        SplitCase{{"--", "-x.avi", "--json", "--"}, "[-x.avi] [--json] [--]", ""},
        SplitCase{{"-", "-h"}, "[-] -h=", ""}, SplitCase{{}, "", ""}));

INSTANTIATE_TEST_SUITE_P(
    Refused, SplitCommandLineTest,
    ::testing::Values(SplitCase{{"a", "--frob"}, "", "unknown option '--frob'"},
                      SplitCase{{"--frob=1"}, "", "unknown option '--frob'"},
                      SplitCase{{"-x"}, "", "unknown option '-x'"},
                      SplitCase{{"-h=1"}, "", "unknown option '-h=1'"},
                      SplitCase{{"--b\x1b[2Jad"}, "", "unknown option '--b\\x1b[2Jad'"},
                      SplitCase{{"a", "--depth"}, "", "option '--depth' needs a value"},
                      SplitCase{{"--json=yes"}, "", "option '--json' takes no value"},
                      SplitCase{{"--json="}, "", "option '--json' takes no value"}));

}  // namespace
}  // namespace kalvero
