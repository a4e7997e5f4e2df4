#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/DetectionFixtures.h"
#include "carriage_number/NumberRailwayCarriageRecognition.h"
#include "detection/GlyphTemplateBank.h"
#include "recognizers/RecognitionContext.h"
#include "recognizers/TrafficSignRecognition.h"

namespace kalvero {
namespace {

using testing::FixedRecognizer;
using testing::RecordingTrace;

const std::int32_t kCodes[] = {100, 7};

class CodeWithoutRecognizer : public ::testing::TestWithParam<int> {};

TEST_P(CodeWithoutRecognizer, CreatesNone) {
    EXPECT_EQ(CreateRecognizer(GetParam(), 2, kCodes), nullptr) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(CreateRecognizer, CodeWithoutRecognizer,
                         ::testing::Values(0, 1, 2, 99, 101, 150, 299, -5));

TEST(CreateRecognizer, SignCodeCreatesTheSignReader) {
    const auto sign = CreateRecognizer(100, 2, kCodes);
    EXPECT_NE(dynamic_cast<TrafficSignRecognition*>(sign.get()), nullptr);
}

class NumberCode : public ::testing::TestWithParam<int> {};

TEST_P(NumberCode, CreatesTheNumberReaderWithTheCallsCodes) {
    const auto number = CreateRecognizer(GetParam(), 2, kCodes);
    EXPECT_NE(dynamic_cast<NumberRailwayCarriageRecognition*>(number.get()), nullptr) << GetParam();
    ASSERT_EQ(number->codeCount, 2);
    EXPECT_EQ(number->codes, (std::vector<std::int32_t>{100, 7}));
    EXPECT_EQ(number->status, -1);
}

INSTANTIATE_TEST_SUITE_P(CreateRecognizer, NumberCode, ::testing::Values(300, 301, 303, 450));

class DispatchFixture : public ::testing::Test {
protected:
    DispatchFixture() : bank(cv::Mat(60, 200, CV_8UC1, cv::Scalar(0))) {
        bank.ScaleTemplates(20);
        region.x = 10;
        region.y = 12;
        region.width = 150;
        region.height = 30;
        region.typeCode = 303;
        region.reserved[2] = 42;
        region.reservedValue = 1.5f;
    }

    // Lets a fixed recogniser read `region` in `context`.
    void ReadFixed(RecognitionContext& context, bool accept, const std::string& text,
                   std::vector<float> scores = {0.9f, 0.8f}, float rank = 0.75f,
                   float score = 0.6f) {
        auto recognizer = std::make_unique<FixedRecognizer>(context.codeCount, context.codes.data(),
                                                            accept, text, std::move(scores), rank,
                                                            score);
        seen = recognizer.get();
        context.ReadWith(std::move(recognizer), bank, region);
    }

    GlyphTemplateBank bank;
    CandidateRegion region;
    const FixedRecognizer* seen = nullptr;
};

class DispatchOfCode : public DispatchFixture, public ::testing::WithParamInterface<int> {};

TEST_P(DispatchOfCode, CodesThatNameNoRecognizerAddNothing) {
    const int code = GetParam();
    RecognitionContext context(2, kCodes);
    RecordingTrace trace;
    context.SetTrace(&trace);
    region.typeCode = code;
    context.DispatchRegion(bank, region);
    EXPECT_EQ(context.ReadingCount(), 0u) << code;
    EXPECT_TRUE(context.results.empty());
    ASSERT_EQ(trace.resultReasons.size(), 1u);
    EXPECT_FALSE(trace.resultReasons[0].empty());
}

INSTANTIATE_TEST_SUITE_P(NoRecognizer, DispatchOfCode, ::testing::Values(0, 1, 150, 299));

TEST_F(DispatchFixture, FullNumberRuleKeepsOnlyEightCharacters) {
    struct Case {
        std::string text;
        bool required;
        bool kept;
    };
    for (const Case& c : {Case{"5247306", true, false}, Case{"52473068", true, true},
                          Case{"524730681", true, false}, Case{"5247306", false, true},
                          Case{"52473068", false, true}, Case{"524730681", false, true}}) {
        RecognitionContext context(2, kCodes);
        context.requireFullNumber = c.required;
        ReadFixed(context, true, c.text);
        EXPECT_EQ(context.ReadingCount(), c.kept ? 1u : 0u) << c.text << " " << c.required;
        EXPECT_EQ(context.resultTexts.size(), context.results.size());
        EXPECT_EQ(context.resultCodes.size(), context.results.size());
        EXPECT_EQ(FixedRecognizer::liveCount, 0);
    }
}

TEST_F(DispatchFixture, RecordCarriesTheReadingTheFirstCodeAndTheRegionBox) {
    RecognitionContext context(2, kCodes);
    ReadFixed(context, true, "52473068", {0.9f, 0.8f, 0.7f}, 0.75f, 0.6f);
    ASSERT_EQ(context.ReadingCount(), 1u);
    EXPECT_EQ(context.resultCodes[0], 100);
    EXPECT_EQ(context.resultTexts[0], "52473068");
    const RecognitionResult& r = context.results[0];
    EXPECT_EQ(r.typeCode, 100);  // not the region's 303
    EXPECT_STREQ(r.text, "52473068");
    EXPECT_EQ(r.glyphScoreCount, 3);
    EXPECT_EQ(r.glyphScores[0], 0.9f);
    EXPECT_EQ(r.glyphScores[2], 0.7f);
    for (int i = 3; i < kMaxGlyphScores; ++i) {
        EXPECT_EQ(r.glyphScores[i], 0.0f) << i;
    }
    for (int i = 0; i < kResultTextSize; ++i) {
        EXPECT_EQ(r.reservedText[i], 0) << i;
    }
    for (int i = 8; i < kResultTextSize; ++i) {
        EXPECT_EQ(r.text[i], 0) << i;
    }
    for (std::uint8_t b : r.reserved) {
        EXPECT_EQ(b, 0);
    }
    EXPECT_EQ(r.rankValue, 0.75f);
    EXPECT_EQ(r.score, 0.6f);
    EXPECT_EQ(cv::Rect(r.x, r.y, r.width, r.height), cv::Rect(10, 12, 150, 30));
    EXPECT_EQ(FixedRecognizer::liveCount, 0);
}

// Keeps a copy of the region it was asked to read, then declines.
class CapturingRecognizer : public RecognitionClass {
public:
    explicit CapturingRecognizer(CandidateRegion* out) : RecognitionClass(2, kCodes), out_(out) {}
    bool Recognize(const GlyphTemplateBank&, const CandidateRegion& r) override {
        *out_ = r;
        return false;
    }

private:
    CandidateRegion* out_;
};

TEST_F(DispatchFixture, RecognizerReadsACopyOfTheWholeRegion) {
    RecognitionContext context(2, kCodes);
    CandidateRegion copy;
    context.ReadWith(std::make_unique<CapturingRecognizer>(&copy), bank, region);
    EXPECT_EQ(copy.typeCode, 303);
    EXPECT_EQ(copy.reserved[2], 42);
    EXPECT_EQ(copy.reservedValue, 1.5f);
    EXPECT_TRUE(SameBox(copy, region));
    EXPECT_EQ(context.ReadingCount(), 0u);  // it declined
}

TEST_F(DispatchFixture, ReadingsBeyondTheRecordLimitsAreRejected) {
    {
        RecognitionContext context(2, kCodes);
        ReadFixed(context, true, std::string(99, '4'));
        EXPECT_EQ(context.ReadingCount(), 1u);
        EXPECT_EQ(std::string(context.results[0].text), std::string(99, '4'));
    }
    {
        RecognitionContext context(2, kCodes);
        ReadFixed(context, true, std::string(100, '4'));
        EXPECT_EQ(context.ReadingCount(), 0u);
    }
    {
        RecognitionContext context(2, kCodes);
        ReadFixed(context, true, "12", std::vector<float>(100, 0.5f));
        ASSERT_EQ(context.ReadingCount(), 1u);
        EXPECT_EQ(context.results[0].glyphScores[99], 0.5f);
    }
    {
        RecognitionContext context(2, kCodes);
        ReadFixed(context, true, "12", std::vector<float>(101, 0.5f));
        EXPECT_EQ(context.ReadingCount(), 0u);
    }
    {
        RecognitionContext context(0, nullptr);
        ReadFixed(context, true, "12");
        EXPECT_EQ(context.ReadingCount(), 0u);
    }
    EXPECT_EQ(FixedRecognizer::liveCount, 0);
}

TEST_F(DispatchFixture, TraceHearsTheOutcome) {
    RecognitionContext context(2, kCodes);
    context.requireFullNumber = true;
    RecordingTrace trace;
    context.SetTrace(&trace);
    ReadFixed(context, true, "5247306");
    ReadFixed(context, true, "52473068");
    ReadFixed(context, false, "52473068");
    ASSERT_EQ(trace.resultTexts.size(), 3u);
    EXPECT_EQ(trace.resultTexts[0], "");
    EXPECT_NE(trace.resultReasons[0].find("7"), std::string::npos);
    EXPECT_EQ(trace.resultTexts[1], "52473068");
    EXPECT_EQ(trace.resultReasons[1], "");
    EXPECT_EQ(trace.resultTexts[2], "");
    EXPECT_FALSE(trace.resultReasons[2].empty());
    EXPECT_EQ(context.ReadingCount(), 1u);
}

class BareRecognizer : public RecognitionClass {
public:
    using RecognitionClass::RecognitionClass;
    bool Recognize(const GlyphTemplateBank&, const CandidateRegion&) override { return false; }
};

TEST(RecognitionClass, ConstructionAndAccessors) {
    std::int32_t codes[] = {5, 6, 7};
    BareRecognizer r(3, codes);
    codes[0] = 99;  // the recogniser holds its own copy
    EXPECT_EQ(r.codes, (std::vector<std::int32_t>{5, 6, 7}));
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.glyphScoreCount, 0);
    EXPECT_EQ(r.rankValue, 0.0f);
    EXPECT_EQ(r.score, 0.0f);

    r.text = "123";
    EXPECT_EQ(r.GetText(), "");  // no reading while status is -1
    r.status = 0;
    EXPECT_EQ(r.GetText(), "123");

    r.glyphScoreCount = 2;
    r.glyphScores[0] = 0.25f;
    r.glyphScores[1] = 0.5f;
    r.glyphScores[2] = 0.75f;
    EXPECT_EQ(r.GetGlyphScore(0), 0.25f);
    EXPECT_EQ(r.GetGlyphScore(1), 0.5f);
    EXPECT_EQ(r.GetGlyphScore(2), -100.0f);
    EXPECT_EQ(r.GetGlyphScore(-1), -100.0f);
    r.glyphScoreCount = 500;
    EXPECT_EQ(r.GetGlyphScore(100), -100.0f);

    BareRecognizer empty(0, nullptr);
    EXPECT_TRUE(empty.codes.empty());
}

}  // namespace
}  // namespace kalvero
