// kalvero-read's engine choice, its check-digit options and what its JSON
// says about the engine, run as a separate process.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "ReaderProcess.h"

namespace kalvero {
namespace {

using namespace testing_cli;

// 52473063 passes its check digit; the same digits ending in 8 fail it.
std::string Sample(const std::string& number) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 16, 20);
    sample.number = number;
    return SampleFile("engine_" + number + ".avi", sample);
}

bool Confirms(const ProcessResult& r, const std::string& number) {
    return r.out.find("confirmed " + number) != std::string::npos;
}

TEST(ReaderEngine, AnUnknownEngineIsAUsageError) {
    const ProcessResult r = RunReaderProcess({Sample("52473063"), "--engine", "neural"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--engine: 'neural' is not an engine (learned or glyph)"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST(ReaderEngine, AModelThatCannotBeLoadedEndsTheReaderWithStatusThree) {
    ::setenv("KALVERO_LINE_MODEL", "/nonexistent/line.onnx", 1);
    const ProcessResult learned = RunReaderProcess({Sample("52473063"), "--engine", "learned", "--digit-height", "20"});
    const ProcessResult glyph = RunReaderProcess({Sample("52473063"), "--engine", "glyph", "--digit-height", "20"});
    ::unsetenv("KALVERO_LINE_MODEL");
    EXPECT_EQ(learned.status, 3);
    EXPECT_TRUE(learned.out.empty()) << learned.out;
    EXPECT_NE(learned.err.find("/nonexistent/line.onnx"), std::string::npos) << learned.err;
    EXPECT_NE(learned.err.find("cannot be loaded"), std::string::npos) << learned.err;
    // The glyph engine needs no network.
    EXPECT_EQ(glyph.status, 0) << glyph.err;
    EXPECT_TRUE(Confirms(glyph, "52473063")) << glyph.out;
}

TEST(ReaderEngine, LearnedReadingsCarryTheEngineAndTheConfidenceOfEachDigit) {
    const ProcessResult r =
        RunReaderProcess({Sample("52473063"), "--engine", "learned", "--digit-height", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 16u);
    int learned = 0;
    for (const std::string& line : lines) {
        if (line.find("\"text\": \"52473063\"") == std::string::npos) continue;
        ++learned;
        EXPECT_NE(line.find("\"engine\": \"learned\", \"digit_scores\": ["), std::string::npos) << line;
    }
    EXPECT_GE(learned, 12) << r.out;
    EXPECT_NE(lines.back().find("\"confirmed\": \"52473063\""), std::string::npos) << lines.back();
}

TEST(ReaderEngine, AFailingCheckDigitIsNeverConfirmedByTheLearnedEngineUnlessTurnedOff) {
    const std::string failing = Sample("52473068");
    const ProcessResult ruled = RunReaderProcess({failing, "--engine", "learned", "--digit-height", "20", "--json"});
    ASSERT_EQ(ruled.status, 0) << ruled.err;
    // Under the rule it is no carriage number: neither reported in the
    // frames nor confirmed.
    EXPECT_EQ(ruled.out.find("\"text\": \"52473068\""), std::string::npos) << ruled.out;
    EXPECT_EQ(ruled.out.find("\"confirmed\": \"52473068\""), std::string::npos) << ruled.out;

    const ProcessResult free =
        RunReaderProcess({failing, "--engine", "learned", "--digit-height", "20", "--no-check-digit", "--json"});
    ASSERT_EQ(free.status, 0) << free.err;
    EXPECT_NE(free.out.find("\"text\": \"52473068\""), std::string::npos) << free.out;
    EXPECT_NE(free.out.find("\"confirmed\": \"52473068\""), std::string::npos) << free.out;
}

TEST(ReaderEngine, TheGlyphEngineVotesOnTheCheckDigitOnlyWhenAsked) {
    const std::string failing = Sample("52473068");
    const ProcessResult plain = RunReaderProcess({failing, "--engine", "glyph", "--digit-height", "20"});
    const ProcessResult ruled =
        RunReaderProcess({failing, "--engine", "glyph", "--digit-height", "20", "--check-digit-vote"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(ruled.status, 0) << ruled.err;
    EXPECT_TRUE(Confirms(plain, "52473068")) << plain.out;
    EXPECT_FALSE(Confirms(ruled, "52473068")) << ruled.out;
}

}  // namespace
}  // namespace kalvero
