#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "carriage_number/StripBinarisation.h"

namespace kalvero {
namespace {

TEST(StripBox, RegionModesKeepTheRegion) {
    const cv::Rect region(100, 7, 300, 40);
    EXPECT_EQ(StripBox(1, region, 12, 640), region);
    EXPECT_EQ(StripBox(3, region, 12, 640), region);
}

TEST(StripBox, WidensByTwoPointThreeGlyphWidths) {
    // W = 12: 2.3 W = 27.6 -> 27 on the left, 4.6 W = 55.2 -> 55 in all.
    EXPECT_EQ(StripBox(2, cv::Rect(100, 7, 300, 40), 12, 640), cv::Rect(73, 7, 355, 40));
    EXPECT_EQ(StripBox(4, cv::Rect(100, 7, 300, 40), 12, 640), cv::Rect(73, 7, 355, 40));
    // Within 27.6 of the left edge the box starts at column 1.
    EXPECT_EQ(StripBox(2, cv::Rect(20, 7, 300, 40), 12, 640), cv::Rect(1, 7, 355, 40));
    EXPECT_EQ(StripBox(2, cv::Rect(27, 7, 300, 40), 12, 640).x, 1);
    EXPECT_EQ(StripBox(2, cv::Rect(28, 7, 300, 40), 12, 640).x, 1);
}

TEST(StripBox, StaysInsideTheImageOnTheRight) {
    // 300 + 311 + 27.6 >= 639: the box runs to column Z - 3.
    const cv::Rect r = StripBox(2, cv::Rect(300, 0, 311, 40), 12, 640);
    EXPECT_EQ(r, cv::Rect(273, 0, 365, 40));
    EXPECT_EQ(r.x + r.width - 1, 637);
    // One column short of that rule the full widening still fits.
    EXPECT_EQ(StripBox(2, cv::Rect(300, 0, 310, 40), 12, 640).width, 365);
    // Near the left edge and wide: the widening is cut at column Z - 3 too.
    const cv::Rect wide = StripBox(4, cv::Rect(20, 0, 590, 40), 12, 640);
    EXPECT_EQ(wide, cv::Rect(1, 0, 637, 40));
}

// A foreground row (mask 255) on a background of another grey: pixels more
// than 80 grey levels from the row's mean leave the foreground. The first
// pixel of the row is exactly 80 away and stays, the second 81 and goes.
struct OutlierCase {
    const char* name;
    cv::Size size;
    uchar background;
    uchar foreground;
    uchar kept;
    uchar removed;
    int remaining;
};

class ForegroundOutlier : public ::testing::TestWithParam<OutlierCase> {};

TEST_P(ForegroundOutlier, LeavesTheForegroundPast80FromTheMean) {
    const OutlierCase c = GetParam();
    cv::Mat grey(c.size, CV_8UC1, cv::Scalar(c.background));
    cv::Mat mask(grey.size(), CV_8UC1, cv::Scalar(0));
    mask.row(0).setTo(255);
    grey.row(0).setTo(c.foreground);
    grey.at<uchar>(0, 0) = c.kept;
    grey.at<uchar>(0, 1) = c.removed;
    CleanForeground(grey, mask);
    EXPECT_EQ(mask.at<uchar>(0, 0), 255);
    EXPECT_EQ(mask.at<uchar>(0, 1), 0);
    EXPECT_EQ(cv::countNonZero(mask), c.remaining);
}

INSTANTIATE_TEST_SUITE_P(
    CleanForeground, ForegroundOutlier,
    ::testing::Values(
        // Light background: eight pixels at 50, one at 150 and one at 151;
        // mean (400 + 301) / 10 = 70.
        OutlierCase{"DarkForegroundLosesItsBrightOutliers", {10, 4}, 200, 50, 150, 151, 9},
        // Three pixels at 200, one at 66 and one at 65: mean 731 / 5 = 146.
        OutlierCase{"BrightForegroundLosesItsDarkOutliers", {5, 2}, 20, 200, 66, 65, 4}),
    [](const ::testing::TestParamInfo<OutlierCase>& info) { return info.param.name; });

TEST(CleanForeground, LeavesAnImageWithoutForeground) {
    cv::Mat grey(3, 3, CV_8UC1, cv::Scalar(90));
    grey.at<uchar>(1, 1) = 255;
    cv::Mat mask(3, 3, CV_8UC1, cv::Scalar(0));
    mask.at<uchar>(0, 0) = 128;  // not 255: background
    const cv::Mat before = mask.clone();
    CleanForeground(grey, mask);
    EXPECT_EQ(cv::countNonZero(mask != before), 0);
}

TEST(BinarizeStrip, BuildsEightImagesOfTheModeBoxes) {
    cv::Mat grey(60, 300, CV_8UC1, cv::Scalar(90));
    const cv::Rect region(100, 10, 60, 40);
    std::vector<cv::Mat> match;
    std::vector<cv::Mat> profile;
    BinarizeStrip(grey, region, 12, match, profile);
    ASSERT_EQ(match.size(), 4u);
    ASSERT_EQ(profile.size(), 4u);
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(match[m].size(), StripBox(m + 1, region, 12, 300).size());
        EXPECT_EQ(profile[m].size(), match[m].size());
        // A uniform grey box marks nothing in either polarity.
        EXPECT_EQ(cv::countNonZero(match[m]), 0);
        EXPECT_EQ(cv::countNonZero(profile[m]), 0);
    }
}

TEST(BinarizeStrip, PolarityAndOffsetsOfTheModes) {
    // A 3 x 3 spot 12 levels above the panel: bright for the matching image
    // (more than 5 above the mean), not for the profile (10 above).
    cv::Mat grey(40, 80, CV_8UC1, cv::Scalar(100));
    grey(cv::Rect(30, 18, 3, 3)).setTo(112);
    std::vector<cv::Mat> match;
    std::vector<cv::Mat> profile;
    BinarizeStrip(grey, cv::Rect(20, 5, 40, 30), 5, match, profile);
    EXPECT_EQ(cv::countNonZero(match[0]), 9);
    EXPECT_EQ(cv::countNonZero(profile[0]), 9);
    EXPECT_EQ(cv::countNonZero(match[2]), 0);
    // A spot 12 levels darker: 10 or more below the mean for the dark
    // profile, but not the 15 the dark matching image needs.
    grey(cv::Rect(30, 18, 3, 3)).setTo(88);
    match.clear();
    profile.clear();
    BinarizeStrip(grey, cv::Rect(20, 5, 40, 30), 5, match, profile);
    EXPECT_EQ(cv::countNonZero(match[0]), 0);
    EXPECT_EQ(cv::countNonZero(match[2]), 0);
    EXPECT_EQ(cv::countNonZero(profile[2]), 9);
}

}  // namespace
}  // namespace kalvero
