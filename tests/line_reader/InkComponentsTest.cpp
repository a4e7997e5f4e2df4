// The run-based labelling finds the same 8-connected components, boxes and
// areas as OpenCV's pixel labelling, on masks of every density and on the
// shapes where run joining goes wrong first: diagonal touches, rows whose
// width is not a multiple of eight, runs that reach the borders.
#include <algorithm>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "line_reader/InkComponents.h"

namespace kalvero {
namespace {

std::vector<std::tuple<int, int, int, int, int>> Sorted(const std::vector<InkComponent>& components) {
    std::vector<std::tuple<int, int, int, int, int>> keys;
    for (const InkComponent& c : components) keys.emplace_back(c.box.y, c.box.x, c.box.width, c.box.height, c.area);
    std::sort(keys.begin(), keys.end());
    return keys;
}

void ExpectSameAsPixelLabelling(const cv::Mat& mask) {
    const InkComponents found = LabelInkComponents(mask);
    ASSERT_EQ(Sorted(found.components), Sorted(LabelInkComponentsReference(mask)));
    // Every run is ink, in raster order, and the runs of a component cover
    // its area.
    std::vector<int> area(found.components.size(), 0);
    for (std::size_t i = 0; i < found.runs.size(); ++i) {
        const InkRun& run = found.runs[i];
        for (int x = run.start; x < run.end; ++x) ASSERT_NE(mask.at<uchar>(run.y, x), 0);
        area[static_cast<std::size_t>(run.component)] += run.end - run.start;
    }
    for (std::size_t c = 0; c < area.size(); ++c) EXPECT_EQ(area[c], found.components[c].area);
}

struct RandomMask {
    int cols, rows;
    double ink;  // share of ink pixels
};

class InkComponentsRandom : public ::testing::TestWithParam<RandomMask> {};

TEST_P(InkComponentsRandom, MatchPixelLabelling) {
    const RandomMask p = GetParam();
    cv::RNG random(static_cast<uint64_t>(p.cols * 131 + p.rows * 7 + static_cast<int>(p.ink * 1000)));
    for (int trial = 0; trial < 6; ++trial) {
        cv::Mat noise(p.rows, p.cols, CV_32F);
        random.fill(noise, cv::RNG::UNIFORM, 0.0, 1.0);
        cv::Mat mask = noise < p.ink;
        // Half the trials grow the specks into blobs and strokes like ink's.
        if (trial % 2 == 1) cv::dilate(mask, mask, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 2)));
        ExpectSameAsPixelLabelling(mask);
    }
}

INSTANTIATE_TEST_SUITE_P(Densities, InkComponentsRandom,
                         ::testing::Values(RandomMask{64, 48, 0.02}, RandomMask{61, 37, 0.1}, RandomMask{203, 90, 0.3},
                                           RandomMask{333, 121, 0.5}, RandomMask{17, 200, 0.7},
                                           RandomMask{1, 50, 0.5}, RandomMask{50, 1, 0.5}, RandomMask{9, 9, 0.95}));

TEST(InkComponents, DiagonalTouchesJoinAndGapsOfOnePixelDoNot) {
    cv::Mat mask = cv::Mat::zeros(6, 21, CV_8U);
    mask.at<uchar>(0, 3) = 255;  // touches (1, 4) at a corner only
    mask.at<uchar>(1, 4) = 255;
    mask.colRange(10, 13).row(2).setTo(255);  // a gap column from the run below
    mask.colRange(14, 20).row(3).setTo(255);
    mask.row(5).setTo(7);  // any non-zero value is ink, to both borders
    const InkComponents found = LabelInkComponents(mask);
    ASSERT_EQ(found.components.size(), 4u);
    ExpectSameAsPixelLabelling(mask);
    EXPECT_EQ(found.components[0].box, cv::Rect(3, 0, 2, 2));
    EXPECT_EQ(found.components[3].box, cv::Rect(0, 5, 21, 1));
}

TEST(InkComponents, EmptyOrWrongTypeMasksHaveNone) {
    EXPECT_TRUE(LabelInkComponents(cv::Mat()).components.empty());
    EXPECT_TRUE(LabelInkComponents(cv::Mat::ones(4, 4, CV_16U)).components.empty());
    EXPECT_TRUE(LabelInkComponents(cv::Mat::zeros(40, 40, CV_8U)).components.empty());
    const InkComponents full = LabelInkComponents(cv::Mat(40, 43, CV_8U, cv::Scalar(255)));
    ASSERT_EQ(full.components.size(), 1u);
    EXPECT_EQ(full.components[0].area, 40 * 43);
}

// Column extents and part boxes within a box, as the touching-digit cut
// uses them, against a count over the pixels.
TEST(InkComponents, ColumnExtentsAndWithinCountOnlyTheComponentsOwnPixels) {
    cv::RNG random(5);
    cv::Mat noise(80, 120, CV_32F);
    random.fill(noise, cv::RNG::UNIFORM, 0.0, 1.0);
    cv::Mat mask = noise < 0.35;
    cv::Mat labels;
    cv::connectedComponents(mask, labels, 8, CV_32S);
    const InkComponents found = LabelInkComponents(mask);
    const cv::Rect boxes[] = {{0, 0, 120, 80}, {13, 7, 40, 29}, {100, 60, 20, 20}, {5, 70, 50, 30}};
    for (std::size_t c = 0; c < found.components.size(); c += 7) {
        const InkRun* first = nullptr;
        for (const InkRun& run : found.runs) {
            if (run.component == static_cast<int>(c)) {
                first = &run;
                break;
            }
        }
        ASSERT_NE(first, nullptr);
        const int label = labels.at<int>(first->y, first->start);
        for (const cv::Rect& box : boxes) {
            const cv::Rect inside = box & cv::Rect(0, 0, mask.cols, mask.rows);
            std::vector<ColumnInkExtent> expected(static_cast<std::size_t>(box.width));
            int area = 0, left = INT32_MAX, right = -1, top = INT32_MAX, bottom = -1;
            for (int y = inside.y; y < inside.y + inside.height; ++y) {
                for (int x = inside.x; x < inside.x + inside.width; ++x) {
                    if (labels.at<int>(y, x) != label) continue;
                    ColumnInkExtent& column = expected[static_cast<std::size_t>(x - box.x)];
                    ++column.ink;
                    column.top = std::min(column.top, y);
                    column.bottom = std::max(column.bottom, y);
                    ++area;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
            const std::vector<ColumnInkExtent> columns = found.ColumnExtents(static_cast<int>(c), box);
            ASSERT_EQ(columns.size(), expected.size());
            for (std::size_t x = 0; x < columns.size(); ++x) {
                EXPECT_EQ(columns[x].ink, expected[x].ink) << "column " << x;
                EXPECT_EQ(columns[x].top, expected[x].top) << "column " << x;
                EXPECT_EQ(columns[x].bottom, expected[x].bottom) << "column " << x;
            }
            const InkComponent within = found.Within(static_cast<int>(c), box);
            EXPECT_EQ(within.area, area);
            if (area > 0) {
                EXPECT_EQ(within.box, cv::Rect(left, top, right - left + 1, bottom - top + 1));
            }
            // Any run of columns from the extents holds what Within finds
            // over the same columns and the box's rows.
            for (int from = 0; from < box.width; from += 3) {
                for (const int width : {1, 4, 11, box.width}) {
                    const cv::Rect slice(box.x + from, box.y, std::min(width, box.width - from), box.height);
                    const InkComponent expectedPart = found.Within(static_cast<int>(c), slice);
                    const InkComponent part = InkWithinColumns(columns, box.x, from, from + slice.width);
                    EXPECT_EQ(part.area, expectedPart.area) << slice;
                    EXPECT_EQ(part.box, expectedPart.box) << slice;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kalvero
