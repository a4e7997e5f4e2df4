#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/DetectionFixtures.h"
#include "detection/DetectionParams.h"
#include "detection/RecognizeFrame.h"
#include "recognizers/RecognitionResult.h"

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

// h = 29: templates are 19 x 31 pixels.
struct ZoneSizeCase {
    cv::Size size;
    bool scanned;
};

class ZoneSize : public ::testing::TestWithParam<ZoneSizeCase> {};

TEST_P(ZoneSize, IsScannedOnlyWhenATemplateFits) {
    const ZoneSizeCase c = GetParam();
    RecordingTrace trace;
    const cv::Mat zone(c.size, CV_8UC3, cv::Scalar(128, 128, 128));
    const FrameResult result = Recognize(zone, 29, &trace);
    EXPECT_EQ(result.count(), 0);
    EXPECT_EQ(trace.candidateCalls, c.scanned ? 1 : 0) << c.size;
}

INSTANTIATE_TEST_SUITE_P(AroundOneTemplate, ZoneSize,
                         ::testing::Values(ZoneSizeCase{{18, 31}, false},
                                           ZoneSizeCase{{19, 30}, false},
                                           ZoneSizeCase{{19, 31}, true},
                                           ZoneSizeCase{{0, 0}, false}));

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

class PaintedNumber : public ::testing::TestWithParam<bool> {};

TEST_P(PaintedNumber, IsReadBestFirst) {
    cv::Rect numberBox;
    const cv::Mat zone = testing::PaintedZone(29, GetParam(), &numberBox);
    const FrameResult result = Recognize(zone, 29, nullptr);
    ASSERT_GE(result.count(), 1);
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

INSTANTIATE_TEST_SUITE_P(LightAndDark, PaintedNumber, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "LightDigits" : "DarkDigits";
                         });

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
