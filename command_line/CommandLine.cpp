#include "command_line/CommandLine.h"

#include <algorithm>

#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

bool Known(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

std::string SplitCommandLine(const std::vector<std::string>& args, const OptionNames& names,
                             std::vector<CommandWord>& words) {
    words.clear();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back({"", arg});
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        CommandWord word{arg, ""};
        bool inlineValue = false;
        const std::size_t eq = arg.find('=');
        // Only long options carry "=value": "-x=1" is simply unknown.
        if (eq != std::string::npos && arg.compare(0, 2, "--") == 0) {
            word.name = arg.substr(0, eq);
            word.value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const std::string shown = PrintableText(word.name);
        if (Known(names.flags, word.name)) {
            if (inlineValue) {
                return "option '" + shown + "' takes no value";
            }
        } else if (Known(names.valued, word.name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    return "option '" + shown + "' needs a value";
                }
                word.value = args[++i];
            }
        } else {
            return "unknown option '" + shown + "'";
        }
        words.push_back(std::move(word));
    }
    return "";
}

}  // namespace kalvero
