#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/DetectionFixtures.h"
#include "detection/DetectionParams.h"
#include "detection/RecognizeFrame.h"
#include "recognizers/RecognitionResult.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

using testing::Contains;
using testing::MakeReading;
using testing::RecordingTrace;

TEST(DetectionParams, DerivedFromTheDigitHeight) {
    RecognitionSettings settings;
    settings.digitHeight = 20;
    settings.requireFullNumber = true;
    DetectionParams params = MakeDetectionParams(settings);
    EXPECT_EQ(params.codeCount, 1);
    EXPECT_EQ(params.codes[0], 100);
    EXPECT_EQ(params.scanModeMask, 10);
    EXPECT_EQ(params.maxArea, 4400.0);
    EXPECT_EQ(params.digitHeight, 20.0);
    EXPECT_EQ(params.maxResults, 100);
    EXPECT_EQ(params.recognitionFlags, 3);
    settings.requireFullNumber = false;
    settings.digitHeight = 32;
    params = MakeDetectionParams(settings);
    EXPECT_EQ(params.recognitionFlags, 1);
    EXPECT_EQ(params.maxArea, 11.0 * 1024);
}

FrameResult Recognize(const cv::Mat& zone, int h, RecordingTrace* trace) {
    RecognitionSettings settings;
    settings.digitHeight = h;
    settings.trace = trace;
    return RecognizeFrame(zone, settings);
}

TEST(RecognizeFrame, ZoneTooSmallForATemplateIsNotScanned) {
    // h = 29: templates are 19 x 31 pixels.
    const cv::Scalar grey(128, 128, 128);
    struct Case {
        cv::Size size;
        bool scanned;
    };
    for (const Case& c : {Case{{18, 31}, false}, Case{{19, 30}, false}, Case{{19, 31}, true},
                          Case{{0, 0}, false}}) {
        RecordingTrace trace;
        const FrameResult result = Recognize(cv::Mat(c.size, CV_8UC3, grey), 29, &trace);
        EXPECT_EQ(result.count(), 0);
        EXPECT_EQ(trace.candidateCalls, c.scanned ? 1 : 0) << c.size;
    }
}

TEST(RecognizeFrame, UnusableInputGivesNoReading) {
    RecordingTrace trace;
    const cv::Mat zone(100, 200, CV_8UC3, cv::Scalar(128, 128, 128));
    EXPECT_EQ(Recognize(zone, 0, &trace).count(), 0);
    EXPECT_EQ(Recognize(zone, -5, &trace).count(), 0);
    EXPECT_EQ(Recognize(zone, 2147483647, &trace).count(), 0);
    EXPECT_EQ(Recognize(cv::Mat(100, 200, CV_8UC4, cv::Scalar::all(128)), 20, &trace).count(), 0);
    EXPECT_EQ(Recognize(cv::Mat(100, 200, CV_16UC1, cv::Scalar(128)), 20, &trace).count(), 0);
    EXPECT_EQ(trace.candidateCalls, 0);
}

TEST(RecognizeFrame, UniformZoneHasNoCandidate) {
    RecordingTrace trace;
    const FrameResult result =
        Recognize(cv::Mat(360, 640, CV_8UC3, cv::Scalar(128, 128, 128)), 29, &trace);
    EXPECT_EQ(result.count(), 0);
    EXPECT_TRUE(result.entries.empty());
    EXPECT_EQ(trace.candidateCalls, 1);
    EXPECT_TRUE(trace.candidates.empty());
}

struct PanelCase {
    int digitHeight;
    bool lightDigits;
};

class NumberPanelDetection : public ::testing::TestWithParam<PanelCase> {};

TEST_P(NumberPanelDetection, CandidateOfTheScanModeContainsTheNumber) {
    const PanelCase param = GetParam();
    PanelSpec spec;
    spec.number = "52473068";
    spec.digitHeight = param.digitHeight;
    spec.gapFraction = 0.25;
    spec.lightDigits = param.lightDigits;
    cv::Rect numberBox;
    const cv::Mat zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), spec, &numberBox);

    RecordingTrace trace;
    Recognize(zone, param.digitHeight, &trace);
    ASSERT_EQ(trace.candidateCalls, 1);
    const int wanted = param.lightDigits ? 301 : 303;
    bool found = false;
    for (const CandidateRegion& c : trace.candidates) {
        EXPECT_TRUE(c.typeCode == 301 || c.typeCode == 303) << c.typeCode;
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_LT(c.x + c.width, zone.cols);
        EXPECT_LT(c.y + c.height, zone.rows);
        found = found || (c.typeCode == wanted && Contains(c, numberBox));
    }
    EXPECT_TRUE(found) << "no " << wanted << " candidate around " << numberBox;
    // Every candidate was handed to the dispatch, which reported on it.
    EXPECT_EQ(trace.resultRegions.size(), trace.candidates.size());

    // The detector's stages alone find the same candidates.
    const std::vector<CandidateRegion> direct = testing::ScanCandidates(zone, param.digitHeight);
    ASSERT_EQ(direct.size(), trace.candidates.size());
    for (std::size_t i = 0; i < direct.size(); ++i) {
        EXPECT_TRUE(SameBox(direct[i], trace.candidates[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(DigitHeights, NumberPanelDetection,
                         ::testing::Values(PanelCase{29, true}, PanelCase{29, false},
                                           PanelCase{40, true}, PanelCase{40, false}),
                         [](const ::testing::TestParamInfo<PanelCase>& info) {
                             return "h" + std::to_string(info.param.digitHeight) +
                                    (info.param.lightDigits ? "LightOnDark" : "DarkOnLight");
                         });

TEST(RecognizeFrame, ReadsAPaintedNumberBestFirst) {
    for (bool light : {true, false}) {
        PanelSpec spec;
        spec.digitHeight = 29;
        spec.lightDigits = light;
        cv::Rect numberBox;
        const cv::Mat zone =
            MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), spec, &numberBox);
        const FrameResult result = Recognize(zone, 29, nullptr);
        ASSERT_GE(result.count(), 1) << (light ? "light" : "dark");
        const FrameResultEntry& best = result.entries[0];
        EXPECT_STREQ(best.name, "52473068");
        CandidateRegion box;
        box.x = best.x;
        box.y = best.y;
        box.width = best.width;
        box.height = best.height;
        EXPECT_TRUE(Contains(box, numberBox));
        for (int i = 1; i < result.count(); ++i) {
            EXPECT_GE(result.entries[i - 1].score, result.entries[i].score);
        }
    }
}

TEST(MakeFrameResult, CopiesReadingsAndDropsNamesLongerThanNineteen) {
    const std::vector<RecognitionResult> readings = {
        MakeReading("52473068", 10, 20, 180, 35, 0.9f, 1.25f),
        MakeReading(std::string(20, '7'), 1, 2, 3, 4, 0.5f, 0.5f),
        MakeReading(std::string(19, '3'), 5, 6, 7, 8, 0.4f, 0.25f)};
    const FrameResult result = MakeFrameResult(readings);
    ASSERT_EQ(result.count(), 2);
    EXPECT_STREQ(result.entries[0].name, "52473068");
    EXPECT_EQ(result.entries[0].x, 10);
    EXPECT_EQ(result.entries[0].y, 20);
    EXPECT_EQ(result.entries[0].width, 180);
    EXPECT_EQ(result.entries[0].height, 35);
    EXPECT_EQ(result.entries[0].score, 1.25f);
    EXPECT_EQ(std::string(result.entries[1].name), std::string(19, '3'));
    EXPECT_EQ(result.entries[1].name[19], '\0');
    EXPECT_EQ(result.entries[1].x, 5);
}

}  // namespace
}  // namespace kalvero
