#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "carriage_number/DigitPositions.h"
#include "support/CarriageFixtures.h"

namespace kalvero {
namespace {

using test::BarStrip;

TEST(SmoothProfile, IsQuarterHalfQuarterWithReplicatedEnds) {
    const std::vector<int> counts = {7, 0, 3, 12, 12, 5, 1, 9, 4};
    const int n = 8;  // the last count is left out
    const std::vector<float> s = SmoothProfile(counts, n);
    ASSERT_EQ(s.size(), 8u);
    for (int i = 0; i < n; ++i) {
        const float left = static_cast<float>(counts[std::max(i - 1, 0)]);
        const float right = static_cast<float>(counts[std::min(i + 1, n - 1)]);
        EXPECT_EQ(s[i], 0.25f * left + 0.5f * static_cast<float>(counts[i]) + 0.25f * right) << i;
    }
}

TEST(FindProfilePeaks, FlatOrWeakProfilesGiveTheMaximumOnly) {
    EXPECT_EQ(FindProfilePeaks({4, 4, 4, 4, 4}, 5, 0.7, 10), (std::vector<int>{0}));
    // The local maximum 6 lies below 70 % of 10.
    EXPECT_EQ(FindProfilePeaks({1, 5, 10, 5, 1, 6, 1}, 7, 0.7, 10), (std::vector<int>{2}));
    // 7 is exactly 70 %: not above it. Ends are never local maxima.
    EXPECT_EQ(FindProfilePeaks({9, 1, 10, 1, 7, 1, 8}, 7, 0.7, 10), (std::vector<int>{2}));
}

TEST(FindProfilePeaks, OrdersByValueAndKeepsStrongerOfClosePeaks) {
    // Maxima at 2 (8), 6 (10, global), 10 (9): listed strongest first.
    EXPECT_EQ(FindProfilePeaks({0, 1, 8, 1, 0, 1, 10, 1, 0, 1, 9, 1}, 12, 0.7, 10),
              (std::vector<int>{6, 10, 2}));
    // 3 apart: the global maximum stays, the other goes.
    EXPECT_EQ(FindProfilePeaks({0, 1, 8, 1, 1, 10, 1, 0}, 8, 0.7, 10), (std::vector<int>{5}));
    // 3 apart among the others: the stronger one stays.
    EXPECT_EQ(FindProfilePeaks({10, 1, 8, 1, 1, 9, 1, 0}, 8, 0.7, 10), (std::vector<int>{0, 5}));
    // 4 apart: both stay.
    EXPECT_EQ(FindProfilePeaks({0, 1, 8, 1, 1, 1, 10, 1}, 8, 0.7, 10), (std::vector<int>{6, 2}));
}

TEST(FindProfilePeaks, FullListKeepsTheStrongest) {
    // 12 maxima 4 apart: the global one (100) and 11 others of 80..90.
    std::vector<float> v(50, 0.0f);
    const float values[12] = {85, 81, 100, 88, 83, 90, 80, 86, 89, 82, 87, 84};
    for (int i = 0; i < 12; ++i) {
        v[2 + 4 * i] = values[i];
    }
    const std::vector<int> p = FindProfilePeaks(v, 50, 0.7, 10);
    // 100, then 90 89 88 87 86 85 84 83 82; 81 and 80 fell off.
    EXPECT_EQ(p, (std::vector<int>{10, 22, 34, 14, 42, 30, 2, 46, 18, 38}));
    EXPECT_EQ(FindProfilePeaks(v, 50, 0.7, 1), (std::vector<int>{10}));
}

// A band image of 20 rows over columns 0..2 with ink in `column` from row a
// to row b.
void Ink(cv::Mat& m, int column, int a, int b) {
    m(cv::Range(a, b + 1), cv::Range(column, column + 1)).setTo(255);
}

TEST(IsDigitBand, NeedsARunOfMoreThanHalfTheHeight) {
    cv::Mat ten(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(ten, 1, 5, 14);  // 10 rows
    EXPECT_TRUE(IsDigitBand(ten, cv::Rect(0, 0, 2, 20)));
    cv::Mat nine(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(nine, 1, 5, 13);  // 9 rows
    EXPECT_FALSE(IsDigitBand(nine, cv::Rect(0, 0, 2, 20)));
    // The run test is made before a row, so a run ending on the last row
    // is not seen.
    cv::Mat late(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(late, 1, 10, 19);
    EXPECT_FALSE(IsDigitBand(late, cv::Rect(0, 0, 2, 20)));
}

TEST(IsDigitBand, GapsInsideRunsAddUp) {
    cv::Mat four(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(four, 1, 0, 4);
    Ink(four, 1, 9, 13);  // 4 empty rows between: one run of 10
    EXPECT_TRUE(IsDigitBand(four, cv::Rect(0, 0, 2, 20)));
    cv::Mat five(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(five, 1, 0, 4);
    Ink(five, 1, 10, 15);  // 5 empty rows end the run
    EXPECT_FALSE(IsDigitBand(five, cv::Rect(0, 0, 2, 20)));
    // The count carries over into the next run: one more empty row ends
    // the run of rows 7..12 before it could grow to 10.
    cv::Mat carried(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(carried, 1, 0, 1);
    Ink(carried, 1, 7, 12);
    Ink(carried, 1, 14, 18);
    EXPECT_FALSE(IsDigitBand(carried, cv::Rect(0, 0, 2, 20)));
}

TEST(IsDigitBand, RejectsFullBandsAndInkAtBothEnds) {
    cv::Mat full(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(full, 1, 0, 19);
    EXPECT_FALSE(IsDigitBand(full, cv::Rect(0, 0, 2, 20)));

    cv::Mat ends(20, 3, CV_8UC1, cv::Scalar(0));
    Ink(ends, 0, 0, 11);
    Ink(ends, 1, 0, 11);
    Ink(ends, 0, 19, 19);
    Ink(ends, 1, 19, 19);
    EXPECT_FALSE(IsDigitBand(ends, cv::Rect(0, 0, 2, 20)));
    // One pixel in the top row is no frame edge.
    ends.at<uchar>(0, 1) = 0;
    EXPECT_TRUE(IsDigitBand(ends, cv::Rect(0, 0, 2, 20)));
}

// Digit height 20: size 25, so a band must fall below 7 ink pixels within
// 3 columns on both sides of its peak.
TEST(FindDigitPositions, FindsNarrowBandsOnly) {
    cv::Mat strip = BarStrip(50, 24, {10, 11, 12, 30, 31, 32}, 4, 19);
    EXPECT_EQ(FindDigitPositions(strip, 10, 25), (std::vector<std::int32_t>{11, 31}));
    // A band 7 columns wide never falls below 7 within the reach.
    strip = BarStrip(50, 24, {20, 21, 22, 23, 24, 25, 26}, 4, 19);
    EXPECT_TRUE(FindDigitPositions(strip, 10, 25).empty());
    // Not enough inked rows for a digit.
    strip = BarStrip(50, 24, {10, 11, 12}, 4, 14);
    EXPECT_TRUE(FindDigitPositions(strip, 10, 25).empty());
}

TEST(FindDigitPositions, BandAtTheStripEdgeEndsThere) {
    const cv::Mat strip = BarStrip(30, 24, {0, 1}, 4, 19);
    EXPECT_EQ(FindDigitPositions(strip, 10, 25), (std::vector<std::int32_t>{0}));
    // The last column is not smoothed; the walk right of 28 ends at 29.
    const cv::Mat right = BarStrip(30, 24, {28, 29}, 4, 19);
    EXPECT_EQ(FindDigitPositions(right, 10, 25), (std::vector<std::int32_t>{28}));
}

}  // namespace
}  // namespace kalvero
