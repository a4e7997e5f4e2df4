#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "detection/RemoveLongRuns.h"

namespace kalvero {
namespace {

cv::Mat Blank(int rows, int cols) { return cv::Mat(rows, cols, CV_8UC1, cv::Scalar(0)); }

int Count255(const cv::Mat& m) { return cv::countNonZero(m == 255); }

TEST(RemoveLongRuns, HorizontalRunAtLimitSurvivesOneLongerIsCleared) {
    // Limit 36 (3 W for h = 20): row 0 holds 36 pixels, row 1 holds 37, both
    // away from the edges; rows 2 and 3 the same touching the right edge.
    cv::Mat image = Blank(4, 80);
    image(cv::Rect(5, 0, 36, 1)).setTo(255);
    image(cv::Rect(5, 1, 37, 1)).setTo(255);
    image(cv::Rect(80 - 36, 2, 36, 1)).setTo(255);
    image(cv::Rect(80 - 37, 3, 37, 1)).setTo(255);
    std::vector<cv::Rect> runs;
    RemoveLongRuns(image, 36, 100, runs);
    EXPECT_EQ(Count255(image.row(0)), 36);
    EXPECT_EQ(Count255(image.row(1)), 0);
    EXPECT_EQ(Count255(image.row(2)), 36);
    EXPECT_EQ(Count255(image.row(3)), 0);
    EXPECT_TRUE(runs.empty());
}

TEST(RemoveLongRuns, VerticalRunsAreClearedAndRecordedOneRowShort) {
    // Limit 30: column 2 has 30 pixels (kept), column 5 has 31 in the middle,
    // column 8 has 31 ending on the bottom row.
    cv::Mat image = Blank(50, 12);
    image(cv::Rect(2, 4, 1, 30)).setTo(255);
    image(cv::Rect(5, 6, 1, 31)).setTo(255);
    image(cv::Rect(8, 19, 1, 31)).setTo(255);
    std::vector<cv::Rect> runs;
    RemoveLongRuns(image, 100, 30, runs);
    EXPECT_EQ(Count255(image.col(2)), 30);
    EXPECT_EQ(Count255(image.col(5)), 0);
    EXPECT_EQ(Count255(image.col(8)), 0);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], cv::Rect(5, 6, 1, 30));
    EXPECT_EQ(runs[1], cv::Rect(8, 19, 1, 30));
}

TEST(RemoveLongRuns, BothPassesReadTheUntouchedImage) {
    // A 41-pixel column crossed at its middle by a 50-pixel row. Were the
    // vertical pass to see the cleared row, the column would split into two
    // 20-pixel runs under the limit of 30 and stay.
    cv::Mat image = Blank(41, 60);
    image(cv::Rect(30, 0, 1, 41)).setTo(255);
    image(cv::Rect(5, 20, 50, 1)).setTo(255);
    std::vector<cv::Rect> runs;
    RemoveLongRuns(image, 36, 30, runs);
    EXPECT_EQ(cv::countNonZero(image), 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], cv::Rect(30, 0, 1, 40));
}

TEST(RemoveLongRuns, OnlyTheValue255IsForeground) {
    cv::Mat image = Blank(3, 60);
    image.row(1).setTo(254);
    image.at<uchar>(2, 0) = 255;
    std::vector<cv::Rect> runs;
    RemoveLongRuns(image, 10, 1, runs);
    EXPECT_EQ(cv::countNonZero(image.row(1) == 254), 60);
    // The single 255 is a vertical run of 1: not longer than 1.
    EXPECT_EQ(image.at<uchar>(2, 0), 255);
    EXPECT_TRUE(runs.empty());
}

// The run filter as plainly as it can be written: every row walked left to
// right, then every column top to bottom, both reading a copy.
void WalkRuns(cv::Mat& image, int horizontalLimit, int verticalLimit,
              std::vector<cv::Rect>& verticalRuns) {
    const cv::Mat source = image.clone();
    for (int y = 0; y < source.rows; ++y) {
        int run = 0;
        for (int x = 0; x <= source.cols; ++x) {
            if (x < source.cols && source.at<uchar>(y, x) == 255) {
                ++run;
                continue;
            }
            if (run > horizontalLimit) {
                image(cv::Rect(x - run, y, run, 1)).setTo(0);
            }
            run = 0;
        }
    }
    for (int x = 0; x < source.cols; ++x) {
        int run = 0;
        for (int y = 0; y <= source.rows; ++y) {
            if (y < source.rows && source.at<uchar>(y, x) == 255) {
                ++run;
                continue;
            }
            if (run > verticalLimit) {
                image(cv::Rect(x, y - run, 1, run)).setTo(0);
                verticalRuns.emplace_back(x, y - run, 1, run - 1);
            }
            run = 0;
        }
    }
}

TEST(RemoveLongRuns, MatchesAPlainRowAndColumnWalk) {
    cv::RNG rng(51);
    for (int trial = 0; trial < 60; ++trial) {
        cv::Mat image(rng.uniform(1, 70), rng.uniform(1, 90), CV_8UC1);
        // Long runs are common where the image is mostly foreground.
        rng.fill(image, cv::RNG::UNIFORM, 0, 100);
        const int density = rng.uniform(30, 98);
        image = (image < density) / 255 * 255;
        if (trial % 2 == 1) {
            image.setTo(200, image == 0);  // grey, not foreground
        }
        cv::Mat walked = image.clone();
        const int across = rng.uniform(1, 12);
        const int down = rng.uniform(1, 12);
        std::vector<cv::Rect> runs = {cv::Rect(-1, -1, 1, 1)};  // earlier entries stay first
        std::vector<cv::Rect> walkedRuns = runs;
        RemoveLongRuns(image, across, down, runs);
        WalkRuns(walked, across, down, walkedRuns);
        EXPECT_EQ(cv::countNonZero(image != walked), 0) << "trial " << trial;
        EXPECT_EQ(runs, walkedRuns) << "trial " << trial;
    }
}

}  // namespace
}  // namespace kalvero
