#include <gtest/gtest.h>

#include "cli/ReaderOptions.h"

namespace kalvero {
namespace {

ParseOutcome Parse(std::vector<std::string> args, ReaderOptions& options) {
    return ParseReaderOptions(args, options);
}

TEST(ReaderOptions, DefaultsAreTheWindowsDefaults) {
    ReaderOptions o;
    ASSERT_TRUE(Parse({"video.avi"}, o).ok());
    EXPECT_EQ(o.file, "video.avi");
    // The learned engine looks for every digit height unless given one.
    EXPECT_EQ(o.digitHeight, 0);
    EXPECT_FALSE(o.hasDigitHeight);
    EXPECT_FALSE(o.hasZone);
    EXPECT_FLOAT_EQ(o.zoom, 1.0f);
    EXPECT_EQ(o.depth, 30);
    EXPECT_EQ(o.threshold, 5);
    EXPECT_FALSE(o.json || o.explain || o.verbose || o.help || o.version || o.hasSign);
    // The reader's own defaults: the learned engine, which confirms only
    // numbers whose check digit holds.
    EXPECT_EQ(o.engine, RecognitionEngine::Learned);
    EXPECT_TRUE(o.checkDigit);
    EXPECT_FALSE(o.checkDigitVote);
    // The glyph engine and the sign reader scale their glyphs to the
    // window's height.
    ASSERT_TRUE(Parse({"video.avi", "--engine", "glyph"}, o).ok());
    EXPECT_EQ(o.digitHeight, 29);
    ASSERT_TRUE(Parse({"video.avi", "--sign", "0,0,60,60"}, o).ok());
    EXPECT_EQ(o.digitHeight, 29);
    // A given height is kept, at both ends of the learned engine's range.
    for (const char* height : {"10", "250"}) {
        ASSERT_TRUE(Parse({"video.avi", "--digit-height", height}, o).ok());
        EXPECT_EQ(o.digitHeight, std::stoi(height));
        EXPECT_TRUE(o.hasDigitHeight);
    }
}

TEST(ReaderOptions, ReadsEveryOptionInBothSpellingsAndAnyOrder) {
    ReaderOptions o;
    ASSERT_TRUE(Parse({"--digit-height", "40", "--zone=10,20,300,100", "clip.mp4", "--zoom", "0.5",
                       "--depth=12", "--threshold", "3", "--json", "--explain", "--verbose", "--engine=glyph"},
                      o)
                    .ok());
    EXPECT_EQ(o.engine, RecognitionEngine::Glyph);
    EXPECT_EQ(o.file, "clip.mp4");
    EXPECT_EQ(o.digitHeight, 40);
    EXPECT_TRUE(o.hasZone);
    EXPECT_EQ(o.zone, cv::Rect(10, 20, 300, 100));
    EXPECT_FLOAT_EQ(o.zoom, 0.5f);
    EXPECT_EQ(o.depth, 12);
    EXPECT_EQ(o.threshold, 3);
    EXPECT_TRUE(o.json && o.explain && o.verbose);

    ASSERT_TRUE(Parse({"--sign", "5,6,70,80", "still.png"}, o).ok());
    EXPECT_TRUE(o.hasSign);
    EXPECT_EQ(o.sign, cv::Rect(5, 6, 70, 80));

    // "--" lets a file name start with a dash.
    ASSERT_TRUE(Parse({"--json", "--", "-odd-name.avi"}, o).ok());
    EXPECT_EQ(o.file, "-odd-name.avi");
}

TEST(ReaderOptions, AcceptsTheEdgesOfEveryRange) {
    ReaderOptions o;
    ASSERT_TRUE(Parse({"f", "--digit-height", "16", "--depth", "5", "--threshold", "1", "--zoom",
                       "0.3"},
                      o)
                    .ok());
    EXPECT_EQ(o.digitHeight, 16);
    EXPECT_EQ(o.depth, 5);
    EXPECT_EQ(o.threshold, 1);
    EXPECT_FLOAT_EQ(o.zoom, 0.3f);
    // The threshold goes up to the depth: more equal readings than the vote
    // keeps could never be.
    ASSERT_TRUE(Parse({"f", "--digit-height", "99", "--depth", "500", "--threshold", "500",
                       "--zoom", "1"},
                      o)
                    .ok());
    EXPECT_EQ(o.digitHeight, 99);
    EXPECT_EQ(o.depth, 500);
    EXPECT_EQ(o.threshold, 500);
    EXPECT_FLOAT_EQ(o.zoom, 1.0f);
    ASSERT_TRUE(Parse({"f", "--zone", "0,0,1,1"}, o).ok());
    EXPECT_EQ(o.zone, cv::Rect(0, 0, 1, 1));
}

struct BadArguments {
    std::vector<std::string> args;
    std::string expectedInMessage;
};

TEST(ReaderOptions, RefusesWrongArgumentsWithStatusTwoAndNamesThem) {
    const std::vector<BadArguments> cases = {
        {{"f", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"f", "-x"}, "unknown option '-x'"},
        {{"f", "--digit-height", "9"}, "--digit-height 9 is out of range (10..250)"},
        {{"f", "--digit-height", "251"}, "--digit-height 251 is out of range (10..250)"},
        {{"f", "--engine", "glyph", "--digit-height", "15"},
         "--digit-height 15 is out of range for the glyph engine (16..99)"},
        {{"f", "--digit-height", "100", "--engine", "glyph"},
         "--digit-height 100 is out of range for the glyph engine (16..99)"},
        {{"f", "--sign", "0,0,50,50", "--digit-height", "120"},
         "--digit-height 120 is out of range for --sign (16..99)"},
        {{"f", "--digit-height", "2x"}, "--digit-height: '2x' is not a whole number"},
        {{"f", "--depth", "4"}, "--depth 4 is out of range (5..500)"},
        {{"f", "--depth", "501"}, "--depth 501 is out of range (5..500)"},
        {{"f", "--threshold", "0"}, "--threshold 0 is out of range (1 or more)"},
        {{"f", "--threshold", "-3"}, "--threshold -3 is out of range"},
        {{"f", "--zoom", "0.29"}, "--zoom 0.29 is out of range (0.3..1.0)"},
        {{"f", "--zoom", "1.01"}, "--zoom 1.01 is out of range (0.3..1.0)"},
        {{"f", "--zoom", "nan"}, "--zoom: 'nan' is not a number"},
        {{"f", "--zoom", ""}, "--zoom: '' is not a number"},
        {{"f", "--zone", "1,2,3"}, "--zone: '1,2,3' is not X,Y,W,H"},
        {{"f", "--zone", "1,2,3,4,5"}, "--zone: '1,2,3,4,5' is not X,Y,W,H"},
        {{"f", "--zone", "-1,2,30,40"}, "--zone: '-1,2,30,40' is not X,Y,W,H"},
        {{"f", "--zone", "1,2,0,40"}, "--zone: '1,2,0,40' is not X,Y,W,H"},
        {{"f", "--zone", "1,,30,40"}, "--zone: '1,,30,40' is not X,Y,W,H"},
        {{"f", "--sign", "a,b,c,d"}, "--sign: 'a,b,c,d' is not X,Y,W,H"},
        {{"f", "--depth"}, "option '--depth' needs a value"},
        {{"f", "--json=yes"}, "option '--json' takes no value"},
        {{}, "no FILE given"},
        {{"--json"}, "no FILE given"},
        {{"a.avi", "b.avi", "--jobs", "0"}, "--jobs 0 is out of range (1..256)"},
        {{"a.avi", "--passes="}, "--passes needs a file name"},
        {{"f", "--engine", "neural"}, "--engine: 'neural' is not an engine (learned or glyph)"},
        {{"f", "--explain"}, "--explain traces the glyph engine's search; use it with --engine glyph"},
        // Past the limit of an int: the true bound, not a range it is in.
        {{"f", "--threshold", "2147483648"}, "--threshold 2147483648 is too large (at most 2147483647)"},
        {{"f", "--depth", "99999999999999999999"}, "--depth 99999999999999999999 is out of range (5..500)"},
        {{"f", "--zone", "2147483647,0,1,1"}, "--zone: X 2147483647 is too large (at most 1000000)"},
        {{"f", "--sign", "0,0,1,4294967297"}, "--sign: H 4294967297 is too large (at most 1000000)"},
        // Decimal only, the whole text.
        {{"f", "--depth", "0x10"}, "--depth: '0x10' is not a whole number"},
        {{"f", "--depth", " 12"}, "--depth: ' 12' is not a whole number"},
        {{"f", "--zoom", "0x0.8p0"}, "--zoom: '0x0.8p0' is not a number"},
        {{"f", "--zoom", "inf"}, "--zoom: 'inf' is not a number"},
        {{"f", "--zone", "0x1,0,10,10"}, "--zone: '0x1,0,10,10' is not X,Y,W,H"},
        // More equal readings than the vote keeps could never be.
        {{"f", "--threshold", "31"}, "--threshold 31 is more than --depth 30 (the default)"},
        {{"f", "--depth", "12", "--threshold", "13"}, "--threshold 13 is more than --depth 12:"},
    };
    for (const BadArguments& c : cases) {
        ReaderOptions o;
        const ParseOutcome outcome = ParseReaderOptions(c.args, o);
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        EXPECT_EQ(outcome.status, 2) << joined;
        EXPECT_NE(outcome.message.find(c.expectedInMessage), std::string::npos)
            << joined << " -> " << outcome.message;
        EXPECT_EQ(outcome.message.find('\n'), std::string::npos) << "one line: " << outcome.message;
    }
}

TEST(ReaderOptions, SeveralInputsKeepTheirOrderAroundTheOptions) {
    ReaderOptions o;
    ASSERT_TRUE(Parse({"b.avi", "--jobs", "3", "dir/", "--", "-a.mp4"}, o).ok());
    EXPECT_EQ(o.files, (std::vector<std::string>{"b.avi", "dir/", "-a.mp4"}));
    EXPECT_EQ(o.file, "b.avi");
    EXPECT_EQ(o.jobs, 3);
    ASSERT_TRUE(Parse({"a.avi"}, o).ok());
    EXPECT_EQ(o.jobs, 0);  // one per core
}

TEST(ReaderOptions, HelpAndVersionNeedNoFile) {
    ReaderOptions o;
    ASSERT_TRUE(Parse({"--help"}, o).ok());
    EXPECT_TRUE(o.help);
    ASSERT_TRUE(Parse({"--version"}, o).ok());
    EXPECT_TRUE(o.version);
    // The usage text documents every option the parser takes.
    const std::string usage = ReaderUsage();
    EXPECT_NE(usage.find("  --                 ends the options"), std::string::npos);
    EXPECT_NE(usage.find("4 the output could not be written"), std::string::npos);
    EXPECT_NE(usage.find("Ended after frame N of M announced."), std::string::npos);
    for (const char* name : {"--digit-height", "--zone", "--zoom", "--depth", "--threshold",
                             "--json", "--explain", "--verbose", "--sign", "--help", "--version",
                             "--jobs", "--passes"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace kalvero
