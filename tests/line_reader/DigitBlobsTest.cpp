// The images digit blobs are found in: the ink threshold's fast path
// against one measured pixel by pixel, and the preparation split in two
// for searches that share one smoothing.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/DigitBlobs.h"

namespace kalvero {
namespace {

// A grey image with flat ground, a shading ramp, bright blocks and noise of
// varied strength, lightly smoothed: deviations from none to large.
cv::Mat TexturedGrey(cv::Size size, cv::RNG& rng) {
    cv::Mat grey(size, CV_8UC1);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) grey.at<uchar>(y, x) = cv::saturate_cast<uchar>(40 + 150 * x / size.width);
    }
    for (int block = 0; block < 6; ++block) {
        const cv::Point a(rng.uniform(0, size.width), rng.uniform(0, size.height));
        cv::rectangle(grey, cv::Rect(a, cv::Size(rng.uniform(2, 20), rng.uniform(2, 30))),
                      cv::Scalar(rng.uniform(0, 256)), cv::FILLED);
    }
    cv::Mat noise(size, CV_8UC1);
    rng.fill(noise, cv::RNG::NORMAL, 0, rng.uniform(1, 25));
    cv::Mat noisy;
    cv::add(grey, noise, noisy, cv::noArray(), CV_8U);
    cv::GaussianBlur(noisy, noisy, cv::Size(), 0.8);
    return noisy;
}

TEST(InkThreshold, MatchesTheDeviationMeasuredPixelByPixel) {
    cv::RNG rng(5);
    for (int trial = 0; trial < 24; ++trial) {
        const cv::Size size(rng.uniform(3, 140), rng.uniform(3, 90));
        const cv::Mat smooth = TexturedGrey(size, rng);
        const int window = rng.uniform(1, 30) | 1;
        const int shrink = rng.uniform(1, 5);
        const int contrast = (trial % 3) * 6;  // 0 shows the deviation everywhere
        const cv::Mat fast = InkThreshold(smooth, window, shrink, contrast);
        const cv::Mat reference = InkThresholdReference(smooth, window, shrink, contrast);
        ASSERT_EQ(fast.size(), size);
        ASSERT_EQ(fast.type(), CV_8UC1);
        ASSERT_EQ(reference.size(), size);
        EXPECT_LE(cv::norm(fast, reference, cv::NORM_INF), 1.0) << "trial " << trial;
        // Off by one only where float and double round a half apart.
        cv::Mat differs = fast != reference;
        EXPECT_LE(cv::countNonZero(differs), static_cast<int>(size.area() / 50) + 1) << "trial " << trial;
        // The floor holds everywhere.
        double least = 0.0;
        cv::minMaxLoc(fast, &least);
        EXPECT_GE(least, contrast);
    }
    EXPECT_TRUE(InkThreshold(cv::Mat(), 9, 2, 6).empty());
    EXPECT_TRUE(InkThreshold(cv::Mat(10, 10, CV_8UC3, cv::Scalar::all(9)), 9, 2, 6).empty());
}

TEST(InkThreshold, ColumnsAndRowsPastTheLastWholeCellRepeatTheOnesBeside) {
    cv::RNG rng(11);
    for (const int shrink : {2, 3, 4}) {
        // Three columns and two rows past the last whole cell (one and one
        // for the halving).
        const cv::Size covered(shrink * 37, shrink * 21);
        const cv::Size size(covered.width + std::min(3, shrink - 1), covered.height + std::min(2, shrink - 1));
        const cv::Mat smooth = TexturedGrey(size, rng);
        for (const cv::Mat& threshold :
             {InkThreshold(smooth, 15, shrink, 0), InkThresholdReference(smooth, 15, shrink, 0)}) {
            ASSERT_EQ(threshold.size(), size);
            for (int x = covered.width; x < size.width; ++x) {
                EXPECT_EQ(cv::norm(threshold.col(x), threshold.col(covered.width - 1), cv::NORM_INF), 0.0)
                    << "shrink " << shrink << ", column " << x;
            }
            for (int y = covered.height; y < size.height; ++y) {
                EXPECT_EQ(cv::norm(threshold.row(y), threshold.row(covered.height - 1), cv::NORM_INF), 0.0)
                    << "shrink " << shrink << ", row " << y;
            }
            // The texture's deviation shows inside (contrast 0 floors nothing).
            double most = 0.0;
            cv::minMaxLoc(threshold(cv::Rect(cv::Point(), covered)), nullptr, &most);
            EXPECT_GT(most, 0.0);
        }
    }
}

TEST(PrepareInkImages, ASmoothingSharedBetweenHeightsGivesWhatEachHeightGivesAlone) {
    cv::RNG rng(8);
    const cv::Mat grey = TexturedGrey(cv::Size(200, 120), rng);
    // Heights 8 and 16 (one halving's two searches) are smoothed alike.
    ASSERT_EQ(InkSmoothing(8), InkSmoothing(16));
    const cv::Mat shared = SmoothForInk(grey, 8);
    for (const int height : {8, 11, 16}) {
        const InkImages alone = PrepareInkImages(grey, height, 6);
        const InkImages fromShared = PrepareInkImagesFromSmooth(shared, height, 6);
        ASSERT_FALSE(alone.threshold.empty());
        EXPECT_EQ(cv::norm(alone.smooth, fromShared.smooth, cv::NORM_INF), 0.0) << height;
        EXPECT_EQ(cv::norm(alone.mean, fromShared.mean, cv::NORM_INF), 0.0) << height;
        EXPECT_EQ(cv::norm(alone.threshold, fromShared.threshold, cv::NORM_INF), 0.0) << height;
    }
    // Larger digits are smoothed more: a copy made for small ones differs.
    EXPECT_GT(InkSmoothing(60), InkSmoothing(16));
    EXPECT_GT(cv::norm(SmoothForInk(grey, 60), shared, cv::NORM_INF), 0.0);
    EXPECT_TRUE(PrepareInkImagesFromSmooth(cv::Mat(), 16).threshold.empty());
    EXPECT_TRUE(PrepareInkImagesFromSmooth(shared, 3).threshold.empty());
    EXPECT_TRUE(SmoothForInk(grey, 3).empty());
}

}  // namespace
}  // namespace kalvero
