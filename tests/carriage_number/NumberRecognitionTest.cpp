#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "carriage_number/NumberRailwayCarriageRecognition.h"
#include "carriage_number/StripSchedule.h"
#include "detection/GlyphTemplateBank.h"
#include "support/CarriageFixtures.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

using test::StripRecorder;

// Runs the strip schedule with strips that yield the given outcomes
// (missing indexes give nothing) and returns the indexes read.
std::vector<int> Schedule(int typeCode, std::map<int, StripOutcome> outcomes) {
    std::vector<int> read;
    ForEachScheduledStrip(typeCode, 4, [&](int i) {
        read.push_back(i);
        return outcomes[i];
    });
    return read;
}

// Region type codes 300 to 302 read light digits, 303 dark ones, any other
// both; each strip here matches five digits, so every strip runs.
struct PolarityCase {
    int code;
    std::vector<int> strips;
};

class StripPolarity : public ::testing::TestWithParam<PolarityCase> {};

TEST_P(StripPolarity, TypeCodeChoosesThePolarity) {
    const StripOutcome five{5, 5};
    EXPECT_EQ(Schedule(GetParam().code, {{0, five}, {2, five}}), GetParam().strips);
}

INSTANTIATE_TEST_SUITE_P(StripSchedule, StripPolarity,
                         ::testing::Values(PolarityCase{300, {0, 1}}, PolarityCase{301, {0, 1}},
                                           PolarityCase{302, {0, 1}}, PolarityCase{303, {2, 3}},
                                           PolarityCase{304, {0, 1, 2, 3}},
                                           PolarityCase{450, {0, 1, 2, 3}}),
                         [](const ::testing::TestParamInfo<PolarityCase>& info) {
                             return "code" + std::to_string(info.param.code);
                         });

TEST(StripSchedule, WidenedStripNeedsFourDigitsFromTheRegionStrip) {
    EXPECT_EQ(Schedule(304, {{0, {3, 3}}, {2, {4, 0}}}), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(Schedule(304, {}), (std::vector<int>{0, 2}));
    // A rejected assembly still counts its digits.
    EXPECT_EQ(Schedule(301, {{0, {11, 0}}}), (std::vector<int>{0, 1}));
    // Odd strips are never skipped for a weak result of their own.
    EXPECT_EQ(Schedule(304, {{0, {4, 4}}, {1, {0, 0}}}), (std::vector<int>{0, 1, 2}));
}

TEST(StripSchedule, StopsAtEightDigits) {
    EXPECT_EQ(Schedule(304, {{0, {8, 8}}}), (std::vector<int>{0}));
    EXPECT_EQ(Schedule(304, {{0, {5, 5}}, {1, {8, 8}}}), (std::vector<int>{0, 1}));
    EXPECT_EQ(Schedule(303, {{2, {9, 0}}}), (std::vector<int>{2, 3}));
}

class RecognizeTest : public ::testing::Test {
protected:
    static constexpr int kH = 29;

    // A panel with the number at (60, 20); box receives the drawn glyphs.
    void Paint(const std::string& number, bool light) {
        PanelStyle look;
        look.number = number;
        look.digitHeight = kH;
        look.gapFraction = 0.3;
        look.lightDigits = light;
        image = MakeNumberPanel(cv::Size(400, 80), cv::Point(60, 20), look, &box);
    }
    CandidateRegion Region(int typeCode, int margin = 3) const {
        CandidateRegion r;
        r.x = box.x - margin;
        r.y = box.y - margin;
        r.width = box.width + 2 * margin;
        r.height = box.height + 2 * margin;
        r.typeCode = typeCode;
        return r;
    }
    bool Read(const CandidateRegion& region) {
        GlyphTemplateBank bank(image);
        bank.ScaleTemplates(kH);
        recognizer.SetTrace(&trace);
        return recognizer.Recognize(bank, region);
    }

    cv::Mat image;
    cv::Rect box;
    const std::int32_t code = 7;
    NumberRailwayCarriageRecognition recognizer{1, &code};
    StripRecorder trace;
};

TEST_F(RecognizeTest, ReadsLightDigitsFromTheFirstStripAndStops) {
    Paint("52473068", true);
    ASSERT_TRUE(Read(Region(301)));
    EXPECT_EQ(recognizer.status, 1);
    EXPECT_EQ(recognizer.GetText(), "52473068");
    EXPECT_EQ(trace.Indexes(), (std::vector<int>{0}));
    EXPECT_GT(recognizer.score, 0.8f);
    EXPECT_GT(recognizer.rankValue, 0.7f);
    EXPECT_TRUE(recognizer.matchImages.empty());
    EXPECT_TRUE(recognizer.profileImages.empty());
}

TEST_F(RecognizeTest, ReadsDarkDigitsWithOnesFromTheProfile) {
    Paint("93418210", false);
    ASSERT_TRUE(Read(Region(303)));
    EXPECT_EQ(recognizer.GetText(), "93418210");
    EXPECT_EQ(trace.Indexes(), (std::vector<int>{2}));
    // Both ones were inserted, not matched: fewer candidates than digits
    // were left after the double hits went.
    EXPECT_EQ(recognizer.candidates.size(), 8u);
    EXPECT_EQ(recognizer.candidates[3].digit, 1);
    EXPECT_DOUBLE_EQ(recognizer.candidates[3].score, 0.7);
}

TEST_F(RecognizeTest, PanelWithoutDigitsGivesNoReading) {
    Paint("", true);
    box = cv::Rect(60, 20, 200, kH + 2);
    EXPECT_FALSE(Read(Region(304)));
    EXPECT_EQ(recognizer.status, -1);
    EXPECT_EQ(recognizer.GetText(), "");
    EXPECT_EQ(recognizer.score, 0.0f);
    // Without candidates neither widened strip is read.
    EXPECT_EQ(trace.Indexes(), (std::vector<int>{0, 2}));
}

TEST_F(RecognizeTest, SevenDigitsReadAsSeven) {
    Paint("5247306", true);
    ASSERT_TRUE(Read(Region(301)));
    EXPECT_EQ(recognizer.GetText(), "5247306");
    // Short of eight digits the widened strip is read as well.
    EXPECT_EQ(trace.Indexes(), (std::vector<int>{0, 1}));
}

TEST_F(RecognizeTest, RegionSizeLimits) {
    Paint("52473068", true);
    const int W = GlyphWidthFor(kH);
    CandidateRegion r = Region(301);
    r.height = kH + 1;
    EXPECT_FALSE(Read(r));
    EXPECT_TRUE(trace.strips.empty());
    r.height = kH + 2;
    Read(r);
    EXPECT_FALSE(trace.strips.empty());

    trace.strips.clear();
    r = Region(301);
    r.width = W;
    EXPECT_FALSE(Read(r));
    EXPECT_TRUE(trace.strips.empty());
    r.width = W + 1;
    Read(r);
    EXPECT_FALSE(trace.strips.empty());
}

TEST_F(RecognizeTest, RegionReachingOutOfTheImageIsClipped) {
    Paint("52473068", true);
    CandidateRegion r = Region(301);
    r.width += 500;
    r.y -= 30;
    r.height += 60;
    ASSERT_TRUE(Read(r));
    EXPECT_EQ(recognizer.GetText(), "52473068");

    trace.strips.clear();
    CandidateRegion outside = Region(301);
    outside.x = 500;
    EXPECT_FALSE(Read(outside));
    EXPECT_TRUE(trace.strips.empty());
}

TEST_F(RecognizeTest, FiveDigitsAreReadAgainFromTheWidenedStrip) {
    Paint("52473", true);
    ASSERT_TRUE(Read(Region(301)));
    ASSERT_EQ(trace.Indexes(), (std::vector<int>{0, 1}));
    EXPECT_EQ(recognizer.GetText(), "52473");
    EXPECT_EQ(trace.strips[1].digits, "52473");
    EXPECT_GT(recognizer.score, 0.8f);
}

}  // namespace
}  // namespace kalvero
