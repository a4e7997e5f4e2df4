// The one long-run clearer both engines use: what counts as ink, which run
// lengths go, and the vertical runs it reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "recognition_common/LongRuns.h"

namespace kalvero {
namespace {

struct RunCase {
    const char* name;
    uchar value;       // the value the runs are drawn with
    InkPixels ink;
    int kept;          // the longest run kept, both directions
    int length;        // the runs drawn, both directions
    bool cleared;      // whether they go
};

class LongRunsTable : public ::testing::TestWithParam<RunCase> {};

TEST_P(LongRunsTable, ClearsRunsLongerThanTheKeptLengthOfInkOnly) {
    const RunCase& c = GetParam();
    cv::Mat mask(60, 60, CV_8UC1, cv::Scalar(0));
    mask(cv::Rect(2, 1, c.length, 1)).setTo(c.value);   // across
    mask(cv::Rect(50, 3, 1, c.length)).setTo(c.value);  // down
    const cv::Mat given = mask.clone();
    std::vector<cv::Rect> runs;
    ClearLongRuns(mask, LongRunLimits{c.kept, c.kept, c.ink}, &runs);
    if (c.cleared) {
        EXPECT_EQ(cv::countNonZero(mask), 0);
        // The column's run is reported; with nothing kept, so is every
        // pixel of the row as a run of its own column.
        EXPECT_EQ(std::count(runs.begin(), runs.end(), cv::Rect(50, 3, 1, c.length - 1)), 1);
        EXPECT_EQ(runs.size(), c.kept >= 1 ? 1u : 1u + static_cast<std::size_t>(c.length));
    } else {
        EXPECT_EQ(cv::norm(mask, given, cv::NORM_INF), 0.0);
        EXPECT_TRUE(runs.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LongRunsTable,
    ::testing::Values(RunCase{"AtTheLimitKept", 255, InkPixels::FullValue, 20, 20, false},
                      RunCase{"OneLongerCleared", 255, InkPixels::FullValue, 20, 21, true},
                      RunCase{"NotFullValueIsNoInkForTheGlyphRule", 254, InkPixels::FullValue, 20, 40, false},
                      RunCase{"AnyNonZeroIsInkForTheLearnedRule", 1, InkPixels::NonZero, 20, 21, true},
                      RunCase{"NonZeroAtTheLimitKept", 7, InkPixels::NonZero, 20, 20, false},
                      RunCase{"NegativeKeptClearsEveryRun", 255, InkPixels::FullValue, -5, 1, true},
                      RunCase{"ZeroKeptClearsEveryRun", 9, InkPixels::NonZero, 0, 1, true}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(ClearLongRuns, ReadsTheMaskAsGivenAndListsVerticalRunsColumnByColumn) {
    cv::Mat mask(50, 30, CV_8UC1, cv::Scalar(0));
    mask(cv::Rect(20, 0, 1, 12)).setTo(255);   // column 20, top
    mask(cv::Rect(20, 30, 1, 15)).setTo(255);  // column 20, lower
    mask(cv::Rect(4, 10, 1, 40)).setTo(255);   // column 4, ends at the border
    mask(cv::Rect(0, 20, 30, 1)).setTo(255);   // a row across column 4's run
    std::vector<cv::Rect> runs = {cv::Rect(-1, -1, 1, 1)};  // earlier entries stay first
    ClearLongRuns(mask, LongRunLimits{25, 10, InkPixels::FullValue}, &runs);
    const std::vector<cv::Rect> expected = {cv::Rect(-1, -1, 1, 1), cv::Rect(4, 10, 1, 39), cv::Rect(20, 0, 1, 11),
                                            cv::Rect(20, 30, 1, 14)};
    EXPECT_EQ(runs, expected);
    // The row went as a whole although the cleared column crossed it.
    EXPECT_EQ(cv::countNonZero(mask), 0);
}

// Each pixel's own runs, measured one step at a time: what ClearLongRuns
// must give however it scans.
cv::Mat ClearedOnePixelAtATime(const cv::Mat& mask, const LongRunLimits& limits) {
    const auto ink = [&](int y, int x) {
        const uchar v = mask.at<uchar>(y, x);
        return limits.ink == InkPixels::FullValue ? v == 255 : v != 0;
    };
    cv::Mat cleared = mask.clone();
    for (int y = 0; y < mask.rows; ++y) {
        for (int x = 0; x < mask.cols; ++x) {
            if (!ink(y, x)) continue;
            int left = x, right = x, up = y, down = y;
            while (left > 0 && ink(y, left - 1)) --left;
            while (right + 1 < mask.cols && ink(y, right + 1)) ++right;
            while (up > 0 && ink(up - 1, x)) --up;
            while (down + 1 < mask.rows && ink(down + 1, x)) ++down;
            if (right - left + 1 > limits.keptAcross || down - up + 1 > limits.keptDown) cleared.at<uchar>(y, x) = 0;
        }
    }
    return cleared;
}

TEST(ClearLongRuns, EitherInkRuleMatchesMeasuringEachPixelOnItsOwn) {
    // Values 0, 1, 254 and 255 mixed, so that the two rules see different
    // ink, in masks whose rows end anywhere in an eight-byte word and in
    // views into a larger image.
    cv::RNG rng(11);
    const uchar values[] = {0, 1, 254, 255};
    for (int trial = 0; trial < 60; ++trial) {
        const cv::Size size(rng.uniform(1, 150), rng.uniform(1, 60));
        cv::Mat larger(size.height + 4, size.width + 9, CV_8UC1, cv::Scalar(255));
        cv::Mat mask = larger(cv::Rect(3, 2, size.width, size.height));
        const int ground = rng.uniform(1, 4);  // more ground: longer empty stretches
        for (int y = 0; y < size.height; ++y) {
            for (int x = 0; x < size.width; ++x) {
                const int pick = rng.uniform(0, 4 + ground);
                mask.at<uchar>(y, x) = pick < 4 ? values[pick] : 0;
            }
        }
        for (int line = 0; line < 3; ++line) {
            const cv::Point a(rng.uniform(-10, size.width + 10), rng.uniform(-10, size.height + 10));
            const cv::Point b(rng.uniform(-10, size.width + 10), rng.uniform(-10, size.height + 10));
            cv::line(mask, a, b, cv::Scalar(values[rng.uniform(1, 4)]), rng.uniform(1, 3));
        }
        const LongRunLimits limits{rng.uniform(-1, 30), rng.uniform(-1, 30),
                                   rng.uniform(0, 2) == 0 ? InkPixels::FullValue : InkPixels::NonZero};
        const cv::Mat expected = ClearedOnePixelAtATime(mask, limits);
        const int outside = cv::countNonZero(larger) - cv::countNonZero(mask);
        ClearLongRuns(mask, limits);
        ASSERT_EQ(cv::norm(mask, expected, cv::NORM_INF), 0.0)
            << "trial " << trial << ": " << size << ", kept " << limits.keptAcross << " x " << limits.keptDown;
        EXPECT_EQ(cv::countNonZero(larger) - cv::countNonZero(mask), outside);
    }
}

TEST(ClearLongRuns, LeavesAnythingButAnEightBitOneChannelMaskAlone) {
    cv::Mat colour(10, 40, CV_8UC3, cv::Scalar::all(255));
    cv::Mat wide(10, 40, CV_16UC1, cv::Scalar(255));
    cv::Mat empty;
    std::vector<cv::Rect> runs;
    for (cv::Mat* mask : {&colour, &wide, &empty}) {
        const cv::Mat given = mask->clone();
        ClearLongRuns(*mask, LongRunLimits{1, 1, InkPixels::NonZero}, &runs);
        if (!given.empty()) {
            EXPECT_EQ(cv::norm(*mask, given, cv::NORM_INF), 0.0);
        }
    }
    EXPECT_TRUE(runs.empty());
}

}  // namespace
}  // namespace kalvero
