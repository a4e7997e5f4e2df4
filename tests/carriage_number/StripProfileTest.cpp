#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "carriage_number/StripProfile.h"
#include "support/CarriageFixtures.h"

namespace kalvero {
namespace {

using test::InkImage;

TEST(LineThroughPoints, PicksFormByLongerExtent) {
    const StripLine flat = LineThroughPoints({1, 1}, {5, 3});
    EXPECT_EQ(flat.orientation, 1);
    EXPECT_FLOAT_EQ(flat.slope, 0.5f);
    EXPECT_FLOAT_EQ(flat.intercept, 0.5f);

    const StripLine steep = LineThroughPoints({1, 1}, {3, 5});
    EXPECT_EQ(steep.orientation, 2);
    EXPECT_FLOAT_EQ(steep.slope, 0.5f);
    EXPECT_FLOAT_EQ(steep.intercept, 0.5f);

    // Equal extents keep the y = f(x) form.
    EXPECT_EQ(LineThroughPoints({0, 0}, {3, -3}).orientation, 1);
    // A single point is walked as that one pixel.
    const StripLine point = LineThroughPoints({4, 7}, {4, 7});
    EXPECT_EQ(point.orientation, 1);
    EXPECT_EQ(RoundToPixel(point.slope * 4 + point.intercept), 7);
}

const cv::Mat& Pattern() {
    static const cv::Mat image = InkImage({
        "#..##.",
        "#...#.",
        "##..#.",
        "#.#.##",
    });
    return image;
}

TEST(SampleStripProfile, RectangleFormsCountColumnsAndRows) {
    const cv::Mat& img = Pattern();
    EXPECT_EQ(ImageColumnCounts(img), (std::vector<int>{4, 1, 1, 1, 4, 1}));
    EXPECT_EQ(BoxColumnCounts(img, cv::Rect(1, 1, 4, 2)), (std::vector<int>{1, 0, 0, 2}));
    // Inclusive forms: w0 + 1 columns of h0 + 1 pixels.
    EXPECT_EQ(InclusiveColumnCounts(img, cv::Rect(1, 1, 2, 2)), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(InclusiveRowCounts(img, cv::Rect(3, 0, 2, 3)), (std::vector<int>{2, 1, 1, 2}));
}

TEST(SampleStripProfile, LinesStopAtTheImageEdge) {
    const cv::Mat& img = Pattern();
    // Row counts of a band over the full height: the extra last row lies
    // outside the image and counts 0.
    EXPECT_EQ(InclusiveRowCounts(img, cv::Rect(0, 0, 1, img.rows)),
              (std::vector<int>{1, 1, 2, 1, 0}));
    // Columns beyond the right edge count 0.
    EXPECT_EQ(BoxColumnCounts(img, cv::Rect(4, 0, 4, 4)), (std::vector<int>{4, 1, 0, 0}));
}

TEST(SampleStripProfile, SlantedEdgesSampleProportionalLines) {
    // Edge 1 along the top row, edge 2 along the bottom row shifted right by
    // two: every count is taken on a slanted line.
    cv::Mat img(5, 8, CV_8UC1, cv::Scalar(0));
    for (int r = 0; r < 5; ++r) {
        img.at<uchar>(r, (r + 1) / 2 + 1) = 255;  // the pixel line (1, 0) -> (3, 4)
    }
    const std::vector<int> counts =
        SampleStripProfile(img, cv::Point(0, 0), cv::Point(2, 4), cv::Point(4, 0), cv::Point(6, 4));
    ASSERT_EQ(counts.size(), 5u);
    EXPECT_EQ(counts[1], 5);  // (1, 0) -> (3, 4) follows the drawn line
    EXPECT_LT(counts[0], 5);
    EXPECT_LT(counts[3], 2);
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

TEST(SampleStripProfile, RectangleFormsAgreeWithTheLineWalker) {
    // The rectangle forms count straight columns and rows directly; they
    // must give what walking the same lines gives, also where a box touches
    // or passes the image edges.
    cv::RNG rng(41);
    for (int trial = 0; trial < 400; ++trial) {
        cv::Mat img(rng.uniform(1, 20), rng.uniform(1, 30), CV_8UC1);
        rng.fill(img, cv::RNG::UNIFORM, 0, 2);
        img *= 255;
        const cv::Rect box(rng.uniform(-2, img.cols + 2), rng.uniform(-2, img.rows + 2),
                           rng.uniform(0, img.cols + 3), rng.uniform(0, img.rows + 3));
        const int right = box.x + box.width;
        const int bottom = box.y + box.height;
        EXPECT_EQ(InclusiveColumnCounts(img, box),
                  SampleStripProfile(img, box.tl(), cv::Point(box.x, bottom),
                                     cv::Point(right, box.y), cv::Point(right, bottom)))
            << box << " in " << img.size();
        EXPECT_EQ(InclusiveRowCounts(img, box),
                  SampleStripProfile(img, box.tl(), cv::Point(right, box.y),
                                     cv::Point(box.x, bottom), cv::Point(right, bottom)))
            << box << " in " << img.size();
        if (box.width > 0 && box.height > 0) {
            EXPECT_EQ(BoxColumnCounts(img, box),
                      SampleStripProfile(img, box.tl(), cv::Point(box.x, bottom - 1),
                                         cv::Point(right - 1, box.y),
                                         cv::Point(right - 1, bottom - 1)))
                << box << " in " << img.size();
        }
    }
}

}  // namespace
}  // namespace kalvero
