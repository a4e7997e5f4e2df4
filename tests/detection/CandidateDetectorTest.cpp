#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/CandidateDetector.h"
#include "detection/DetectionParams.h"
#include "recognizers/RecognitionResult.h"
#include "support/DetectionFixtures.h"

namespace kalvero {
namespace {

using testing::Contains;
using testing::FullNumberSettings;
using testing::PaintedZone;
using testing::RecordingTrace;

DetectionParams ParamsFor(int digitHeight) {
    return MakeDetectionParams(FullNumberSettings(digitHeight, CorrelationPath::Fast, 1));
}

std::string Describe(const RecognitionResult& r) {
    return std::string(r.text) + " at " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
           std::to_string(r.width) + "x" + std::to_string(r.height) + " score " +
           std::to_string(r.score);
}

// The readings of one zone, described for comparison.
std::vector<std::string> Readings(const cv::Mat& zone, int digitHeight, int threads,
                                  RecognitionTrace* trace = nullptr) {
    DetectionExecution execution;
    execution.threadCount = threads;
    CandidateDetector detector(zone, ParamsFor(digitHeight), trace, execution);
    const int count = detector.Detect();
    EXPECT_EQ(count, static_cast<int>(detector.Readings().size()));
    std::vector<std::string> described;
    for (const RecognitionResult& r : detector.Readings()) {
        described.push_back(Describe(r));
    }
    return described;
}

struct PanelCase {
    int digitHeight;
    bool lightDigits;
};

class NumberPanelDetection : public ::testing::TestWithParam<PanelCase> {};

TEST_P(NumberPanelDetection, CandidateOfTheScanModeContainsTheNumber) {
    const PanelCase param = GetParam();
    cv::Rect numberBox;
    const cv::Mat zone = PaintedZone(param.digitHeight, param.lightDigits, &numberBox);

    RecordingTrace trace;
    CandidateDetector detector(zone, ParamsFor(param.digitHeight), &trace);
    detector.Detect();
    ASSERT_EQ(trace.candidateCalls, 1);
    // Light digits are found by mode 1, dark ones by mode 3 (the default
    // scan runs those two).
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

    // And the number is read from its region, best first.
    ASSERT_FALSE(detector.Readings().empty());
    EXPECT_STREQ(detector.Readings()[0].text, "52473068");
}

INSTANTIATE_TEST_SUITE_P(DigitHeights, NumberPanelDetection,
                         ::testing::Values(PanelCase{29, true}, PanelCase{29, false},
                                           PanelCase{40, true}, PanelCase{40, false}),
                         [](const ::testing::TestParamInfo<PanelCase>& info) {
                             return "h" + std::to_string(info.param.digitHeight) +
                                    (info.param.lightDigits ? "LightOnDark" : "DarkOnLight");
                         });

// Regions are read side by side when allowed; the readings and their order
// must not show it.
class DetectorThreads : public ::testing::TestWithParam<std::tuple<bool, int>> {};

TEST_P(DetectorThreads, ReadingsDoNotDependOnTheNumberOfThreads) {
    const auto [light, threads] = GetParam();
    const cv::Mat zone = PaintedZone(29, light);
    const std::vector<std::string> one = Readings(zone, 29, 1);
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(Readings(zone, 29, threads), one);
    // A trace makes the detector read on the calling thread, in candidate
    // order, whatever it may use.
    RecordingTrace trace;
    EXPECT_EQ(Readings(zone, 29, threads, &trace), one);
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, DetectorThreads,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(2, 4)));

TEST(CandidateDetector, ReadingsAreSortedBestFirstAndNotRepeated) {
    // Modes 1 and 2 both find light digits, so the number is read twice.
    DetectionParams params = ParamsFor(29);
    params.scanModeMask = 6;
    RecordingTrace trace;
    CandidateDetector detector(PaintedZone(29, true), params, &trace);
    detector.Detect();
    int readsOfTheNumber = 0;
    for (const std::string& text : trace.resultTexts) {
        readsOfTheNumber += text == "52473068" ? 1 : 0;
    }
    ASSERT_GE(readsOfTheNumber, 2);

    const std::vector<RecognitionResult>& readings = detector.Readings();
    ASSERT_FALSE(readings.empty());
    for (std::size_t i = 1; i < readings.size(); ++i) {
        EXPECT_GE(readings[i - 1].score, readings[i].score);
    }
    // The repeated readings of the number were merged into one.
    int ofTheNumber = 0;
    for (const RecognitionResult& r : readings) {
        ofTheNumber += std::strcmp(r.text, "52473068") == 0 ? 1 : 0;
    }
    EXPECT_EQ(ofTheNumber, 1);
}

TEST(CandidateDetector, PlainZoneGivesNoCandidateAndNoReading) {
    RecordingTrace trace;
    CandidateDetector detector(cv::Mat(120, 300, CV_8UC3, cv::Scalar(90, 90, 90)), ParamsFor(29),
                               &trace);
    EXPECT_EQ(detector.Detect(), 0);
    EXPECT_TRUE(detector.Readings().empty());
    EXPECT_EQ(trace.candidateCalls, 1);
    EXPECT_TRUE(trace.candidates.empty());
}

}  // namespace
}  // namespace kalvero
