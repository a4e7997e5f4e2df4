// Arguments and file names echoed in the reader's messages: control
// characters are shown as escapes, so every message stays one line and no
// argument can send terminal control sequences through it.
#include <sstream>

#include <gtest/gtest.h>

#include "command_line/PrintableText.h"
#include "cli/Reader.h"
#include "cli/ReaderOptions.h"

namespace kalvero {
namespace {

TEST(PrintableText, EscapesControlCharactersOnly) {
    EXPECT_EQ(PrintableText("video 1.avi"), "video 1.avi");
    EXPECT_EQ(PrintableText("a\nb\tc\rd"), "a\\nb\\tc\\rd");
    EXPECT_EQ(PrintableText(std::string("\x1b[2J\x7f\x01", 6)), "\\x1b[2J\\x7f\\x01");
    EXPECT_EQ(PrintableText(std::string("nul\0end", 7)), "nul\\x00end");
    EXPECT_EQ(PrintableText("вагон.mp4"), "вагон.mp4");  // UTF-8 names untouched
    EXPECT_EQ(PrintableText(""), "");
}

TEST(PrintableMessages, RefusedArgumentsGiveOneLineMessages) {
    const std::vector<std::vector<std::string>> commands = {
        {"\n", "4", "--jobs", "x\n"},         // two file names (found by fuzzing), a bad count
        {"a.avi", "--depth", "1\n2"},         // not a whole number
        {"a.avi", "--threshold=-5\x1b[31m"},  // not a whole number either
        {"a.avi", "--zoom", "5\n"},           // not a number
        {"a.avi", "--zone", "1,2,3,\n4"},     // not a box
        {"a.avi", "--b\x1b[2Jogus"},          // unknown option
        {"a.avi", "--depth", "\n30"},        // blanks before a number are not taken
        {"a.avi", "--zoom", " 0.5"},
        {"a.avi", "--depth", std::string("30\0junk", 7)},  // nor anything after a NUL
    };
    for (const auto& args : commands) {
        ReaderOptions options;
        const ParseOutcome outcome = ParseReaderOptions(args, options);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.message.find('\n'), std::string::npos) << outcome.message;
        EXPECT_EQ(outcome.message.find('\x1b'), std::string::npos) << outcome.message;
    }
    ReaderOptions options;
    EXPECT_EQ(ParseReaderOptions({"\n", "--jobs", "4\n"}, options).message,
              "--jobs: '4\\n' is not a whole number");
}

TEST(PrintableMessages, AFileNameWithANewlineIsShownEscaped) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunReader({"/nonexistent\nfolder/video.avi"}, out, err, ReaderEnvironment{});
    EXPECT_EQ(status, kExitFile);
    EXPECT_EQ(err.str(), "kalvero-read: cannot open '/nonexistent\\nfolder/video.avi': No such file or directory\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace kalvero
