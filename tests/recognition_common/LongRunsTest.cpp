// The one long-run clearer both engines use: what counts as ink, which run
// lengths go, and the vertical runs it reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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
