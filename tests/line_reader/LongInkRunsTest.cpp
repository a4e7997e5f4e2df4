#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/LongInkRuns.h"

namespace kalvero {
namespace {

TEST(ClearLongInkRuns, ClearsRailsAndPolesButNotStrokes) {
    cv::Mat ink(40, 60, CV_8UC1, cv::Scalar(0));
    ink.row(10).setTo(255);                       // a rail across: 60 long
    ink(cv::Rect(5, 20, 9, 1)).setTo(255);        // a stroke 9 long
    ink(cv::Rect(30, 0, 1, 40)).setTo(255);       // a pole down: 40 long
    ink(cv::Rect(45, 15, 1, 12)).setTo(255);      // a stroke 12 long
    cv::Mat fast = ink.clone();
    ClearLongInkRuns(fast, 10, 13);
    EXPECT_EQ(cv::countNonZero(fast.row(10)), 0);
    EXPECT_EQ(cv::countNonZero(fast.col(30)), 0);
    EXPECT_EQ(cv::countNonZero(fast(cv::Rect(5, 20, 9, 1))), 9);
    EXPECT_EQ(cv::countNonZero(fast(cv::Rect(45, 15, 1, 12))), 12);
    // Exactly the limit clears; one shorter stays.
    cv::Mat edge = ink.clone();
    ClearLongInkRuns(edge, 9, 12);
    EXPECT_EQ(cv::countNonZero(edge), 0);
    // Lengths below 1 clear nothing.
    cv::Mat none = ink.clone();
    ClearLongInkRuns(none, 0, -3);
    EXPECT_EQ(cv::norm(none, ink, cv::NORM_INF), 0.0);
}

TEST(ClearLongInkRuns, TheOnePassWayMatchesTheReference) {
    cv::RNG rng(3);
    for (int trial = 0; trial < 40; ++trial) {
        const cv::Size size(rng.uniform(1, 90), rng.uniform(1, 70));
        cv::Mat noise(size, CV_8UC1);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 100);
        // Dense ink so that long runs in both directions are common.
        cv::Mat ink = noise < rng.uniform(40, 95);
        const int across = rng.uniform(-1, 20);
        const int down = rng.uniform(-1, 20);
        cv::Mat fast = ink.clone();
        cv::Mat reference = ink.clone();
        ClearLongInkRuns(fast, across, down);
        ClearLongInkRunsReference(reference, across, down);
        ASSERT_EQ(cv::norm(fast, reference, cv::NORM_INF), 0.0)
            << "trial " << trial << ": " << size << ", across " << across << ", down " << down;
    }
    // Sparse ink with lines drawn through it, as a camera frame gives:
    // long stretches of empty bytes, runs that start and end anywhere in an
    // eight-byte word, and masks that are views into a larger image.
    for (int trial = 0; trial < 40; ++trial) {
        const cv::Size size(rng.uniform(1, 260), rng.uniform(1, 120));
        cv::Mat noise(size, CV_8UC1);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 100);
        cv::Mat ink = noise < rng.uniform(1, 12);
        for (int line = 0; line < 4; ++line) {
            const cv::Point a(rng.uniform(-20, size.width + 20), rng.uniform(-20, size.height + 20));
            const cv::Point b(rng.uniform(-20, size.width + 20), rng.uniform(-20, size.height + 20));
            cv::line(ink, a, b, cv::Scalar(255), rng.uniform(1, 3));
        }
        cv::Mat larger(size.height + 6, size.width + 11, CV_8UC1, cv::Scalar(255));
        cv::Mat view = larger(cv::Rect(5, 3, size.width, size.height));
        ink.copyTo(view);
        const int across = rng.uniform(1, 40);
        const int down = rng.uniform(1, 40);
        cv::Mat reference = ink.clone();
        ClearLongInkRuns(view, across, down);
        ClearLongInkRunsReference(reference, across, down);
        ASSERT_EQ(cv::norm(view, reference, cv::NORM_INF), 0.0)
            << "sparse trial " << trial << ": " << size << ", across " << across << ", down " << down;
        // Nothing outside the view was touched.
        EXPECT_EQ(cv::countNonZero(larger) - cv::countNonZero(view), larger.total() - view.total());
    }
    cv::Mat empty;
    ClearLongInkRuns(empty, 3, 3);
    EXPECT_TRUE(empty.empty());
    cv::Mat wide(5, 5, CV_16UC1, cv::Scalar(7));
    ClearLongInkRuns(wide, 1, 1);
    EXPECT_EQ(cv::countNonZero(wide), 25);
}

}  // namespace
}  // namespace kalvero
