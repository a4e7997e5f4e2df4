#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/LocalDeviation.h"

namespace kalvero {
namespace {

// Noise, smooth ground, hard edges and flat patches (a variance that
// rounds below 0), on images narrower and shorter than the window and of
// widths off the four-pixel step, for odd and even windows: pixel for
// pixel what OpenCV's box filters and arithmetic give.
TEST(LocalDeviationFloor, EveryPixelIsWhatOpenCvsBoxFiltersGive) {
    cv::RNG rng(12);
    for (int trial = 0; trial < 120; ++trial) {
        const int side = rng.uniform(1, 26);
        const cv::Size size(rng.uniform(1, 300), rng.uniform(1, 120));
        cv::Mat grey(size, CV_8UC1);
        rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
        switch (trial % 4) {
            case 1: cv::GaussianBlur(grey, grey, cv::Size(), 3.0); break;
            case 2: cv::threshold(grey, grey, 160, 255, cv::THRESH_BINARY); break;
            case 3: grey = grey / 64 + 100; break;  // a few levels off a flat ground
            default: break;
        }
        const float share = trial % 5 == 0 ? 1.0f : 0.5f;
        const int floor = (trial % 3) * 6;
        SCOPED_TRACE(::testing::Message() << "trial " << trial << ", side " << side << ", " << size);
        const cv::Mat fast = LocalDeviationFloor(grey, side, share, floor);
        const cv::Mat reference = LocalDeviationFloorReference(grey, side, share, floor);
        ASSERT_EQ(fast.size(), size);
        ASSERT_EQ(fast.type(), CV_8UC1);
        EXPECT_EQ(cv::norm(fast, reference, cv::NORM_INF), 0.0);
    }
    // A view into a larger image is read through its own steps, and its
    // borders are its own.
    cv::Mat whole(80, 120, CV_8UC1);
    rng.fill(whole, cv::RNG::UNIFORM, 0, 256);
    const cv::Mat view = whole(cv::Rect(9, 4, 77, 51));
    EXPECT_EQ(cv::norm(LocalDeviationFloor(view, 7, 0.5f, 6), LocalDeviationFloorReference(view, 7, 0.5f, 6),
                       cv::NORM_INF),
              0.0);
}

TEST(LocalDeviationFloor, AFlatImageIsTheFloorAndBadInputGivesNothing) {
    const cv::Mat flat(30, 40, CV_8UC1, cv::Scalar(90));
    const cv::Mat floored = LocalDeviationFloor(flat, 9, 0.5f, 6);
    ASSERT_EQ(floored.size(), flat.size());
    EXPECT_EQ(cv::norm(floored, cv::Mat(flat.size(), CV_8UC1, cv::Scalar(6)), cv::NORM_INF), 0.0);
    // Levels 0 and 200 in equal shares: a deviation of 100, half of it 50.
    cv::Mat checks(32, 32, CV_8UC1);
    for (int y = 0; y < checks.rows; ++y) {
        for (int x = 0; x < checks.cols; ++x) checks.at<uchar>(y, x) = (x + y) % 2 == 0 ? 0 : 200;
    }
    const cv::Mat half = LocalDeviationFloor(checks, 32, 0.5f, 6);
    EXPECT_NEAR(half.at<uchar>(16, 16), 50, 1);
    EXPECT_TRUE(LocalDeviationFloor(cv::Mat(), 9, 0.5f, 6).empty());
    EXPECT_TRUE(LocalDeviationFloor(cv::Mat(9, 9, CV_8UC3, cv::Scalar::all(3)), 9, 0.5f, 6).empty());
    EXPECT_TRUE(LocalDeviationFloor(flat, 0, 0.5f, 6).empty());
}

}  // namespace
}  // namespace kalvero
