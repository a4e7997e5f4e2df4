#include <gtest/gtest.h>

#include <tuple>

#include <opencv2/core.hpp>

#include "carriage_number/DigitClassifiers.h"
#include "detection/GlyphTemplateBank.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

// A strip with a margin around the box, so that reading outside the box
// would show.
cv::Mat BoxStrip(int w, int h, uchar inside) {
    cv::Mat strip(h + 4, w + 4, CV_8UC1, cv::Scalar(255 - inside));
    strip(cv::Rect(2, 2, w, h)).setTo(inside);
    return strip;
}

TEST(ProbeClassifier, FullInkBoxIsEightThenZero) {
    const cv::Mat strip = BoxStrip(12, 20, 255);
    const ProbeFeatures f = ExtractProbeFeatures(strip, cv::Rect(2, 2, 12, 20));
    for (const auto& probe : f.probes) {
        EXPECT_EQ(probe.covered, 1);
        EXPECT_EQ(probe.empty, 0);
    }
    float p[kShapeClassCount];
    EXPECT_EQ(ClassifyByProbes(f, p), 7);
    EXPECT_EQ(p[7], 1.0f);
    EXPECT_EQ(p[0], 63.0f / 64.0f);
    // Class i scores 3a / (3a + b) for a covered and b empty prototype flags.
    EXPECT_EQ(p[6], 21.0f / 31.0f);
}

TEST(ProbeClassifier, BoxWithoutInkIsSeven) {
    const cv::Mat strip = BoxStrip(20, 32, 0);
    const ProbeFeatures f = ExtractProbeFeatures(strip, cv::Rect(2, 2, 20, 32));
    for (const auto& probe : f.probes) {
        EXPECT_EQ(probe.covered, 0);
        EXPECT_EQ(probe.empty, 1);
    }
    float p[kShapeClassCount];
    EXPECT_EQ(ClassifyByProbes(f, p), 6);
    EXPECT_EQ(p[6], 10.0f / 31.0f);
    EXPECT_EQ(p[7], 0.0f);
    EXPECT_EQ(p[0], 1.0f / 64.0f);
}

TEST(ProbeClassifier, BandWidthFollowsBoxArea) {
    EXPECT_EQ(ProbeBandHalfWidth(12, 20), 1);
    EXPECT_EQ(ProbeBandHalfWidth(20, 32), 2);
    EXPECT_EQ(ProbeBandHalfWidth(3, 3), 0);
}

TEST(ProbeClassifier, CoverageThresholdsAreStrict) {
    // 4 of 5 band positions with ink is exactly 80 %: not covered.
    EXPECT_EQ(FlagProbe(4.0f, 12.0f, 5.0f, 1).covered, 0);
    EXPECT_EQ(FlagProbe(5.0f, 15.0f, 5.0f, 1).covered, 1);
    // 2 of 5 is exactly 40 %: not empty by the share rule ...
    EXPECT_EQ(FlagProbe(2.0f, 6.0f, 5.0f, 1).empty, 0);
    // ... but empty when the ink density of the band is below 30 %.
    EXPECT_EQ(FlagProbe(2.0f, 4.0f, 5.0f, 1).empty, 1);
    EXPECT_EQ(FlagProbe(1.0f, 3.0f, 5.0f, 1).empty, 1);
}

TEST(ZoneClassifier, FullBoxFillsEveryCell) {
    const cv::Mat strip = BoxStrip(13, 23, 255);
    const ZoneGrid g = ComputeZoneGrid(strip, cv::Rect(2, 2, 13, 23));
    for (const float cell : g) {
        EXPECT_NEAR(cell, 1.0f, 1e-5f);
    }
}

TEST(ZoneClassifier, PixelEndingOnCellBoundaryStaysInOneCell) {
    // 10 columns: each cell is two pixels wide; only column 1 is ink, whose
    // extent [0.5, 1.0) ends on the boundary to cell column 1.
    cv::Mat strip(20, 10, CV_8UC1, cv::Scalar(0));
    strip.col(1).setTo(255);
    const ZoneGrid g = ComputeZoneGrid(strip, cv::Rect(0, 0, 10, 20));
    for (int r = 0; r < kZoneRows; ++r) {
        EXPECT_FLOAT_EQ(g[r * kZoneColumns + 0], 0.5f);
        EXPECT_FLOAT_EQ(g[r * kZoneColumns + 1], 0.0f);
    }
}

TEST(ZoneClassifier, PixelAcrossCellBoundarySplitsItsShare) {
    // 4 columns over 5 cells: column 1 spans [1.25, 2.5) -> 0.6 / 0.4.
    cv::Mat strip(10, 4, CV_8UC1, cv::Scalar(0));
    strip.col(1).setTo(255);
    const ZoneGrid g = ComputeZoneGrid(strip, cv::Rect(0, 0, 4, 10));
    EXPECT_NEAR(g[1], 0.75f, 1e-5f);  // three quarters of cell 1
    EXPECT_NEAR(g[2], 0.5f, 1e-5f);           // half of cell 2
    EXPECT_EQ(g[0], 0.0f);
    EXPECT_EQ(g[3], 0.0f);
}

// The built-in glyphs, drawn at usual digit heights, are recognised by the
// probe classifier and lie well within the zone classifier's acceptance
// distance of their own class.
class BuiltInGlyph : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(BuiltInGlyph, IsRecognisedByBothClassifiers) {
    const auto [h, digit] = GetParam();
    const cv::Mat mask = RenderGlyphMask(digit, h);
    const cv::Rect box(1, 1, GlyphWidthFor(h), h);
    float p[kShapeClassCount];
    float z[kShapeClassCount];
    const int k = ClassifyByProbes(ExtractProbeFeatures(mask, box), p);
    ClassifyByZones(mask, box, z);
    const int c = ClassOfDigit(digit);
    EXPECT_EQ(k, c) << "digit " << digit << " h " << h;
    EXPECT_GT(p[c], 0.68f) << "digit " << digit << " h " << h;
    EXPECT_LT(z[c], 0.3f) << "digit " << digit << " h " << h;
}

INSTANTIATE_TEST_SUITE_P(DigitClassifiers, BuiltInGlyph,
                         ::testing::Combine(::testing::Values(24, 29, 40),
                                            ::testing::Values(0, 2, 3, 4, 5, 6, 7, 8, 9)));

TEST(DigitClassifiers, ClassNumberingSkipsOne) {
    EXPECT_EQ(DigitOfClass(0), 0);
    EXPECT_EQ(DigitOfClass(1), 2);
    EXPECT_EQ(DigitOfClass(8), 9);
    EXPECT_EQ(ClassOfDigit(9), 8);
    EXPECT_EQ(ClassOfDigit(0), 0);
}

}  // namespace
}  // namespace kalvero
