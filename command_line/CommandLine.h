#pragma once
#include <string>
#include <vector>

namespace kalvero {

// The options a program knows: flags take no value, the others exactly one.
struct OptionNames {
    std::vector<std::string> flags;   // e.g. "--json", "-h"
    std::vector<std::string> valued;  // e.g. "--depth"
};

// One word of a parsed command line: an option with its value, or an
// operand (a file name, say), which has an empty `name`.
struct CommandWord {
    std::string name;   // "--depth"; empty for an operand
    std::string value;  // the option's value (empty for a flag), or the operand
    bool IsOperand() const { return name.empty(); }
};

// Splits the arguments after the program name into options and operands,
// in their order. The rules, shared by every Kalvero program:
//  - a word of two or more characters starting with '-' is an option;
//    "-" alone and everything else is an operand;
//  - "--" ends the options: every later word is an operand, even one that
//    starts with '-';
//  - a valued option takes its value as "--name value" or "--name=value"
//    (split at the first '='); the value may be empty or start with '-';
//  - a flag given "=value", an option the program does not know, and a
//    valued option at the end of the line are refused.
// Returns an empty text on success, else a one-line message naming the
// option ("unknown option '--frob'", "option '--depth' needs a value",
// "option '--json' takes no value"); control characters in it are shown as
// escapes. `words` holds the words up to the fault.
std::string SplitCommandLine(const std::vector<std::string>& args, const OptionNames& names,
                             std::vector<CommandWord>& words);

}  // namespace kalvero
