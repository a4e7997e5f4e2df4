#include <gtest/gtest.h>

#include "tools/PointBounds.h"

namespace kalvero {
namespace {

TEST(PointBounds, CoveringPixelsTakeFloorAndCeilOfTheEdgesOnBothSidesOfZero) {
    const PointBounds b = BoundsOfPoints({cv::Point2d(2.5, -1.5), cv::Point2d(-3.25, 4.0), cv::Point2d(7.0, 0.2)});
    EXPECT_EQ(b.x0, -3.25);
    EXPECT_EQ(b.y0, -1.5);
    EXPECT_EQ(b.x1, 7.0);
    EXPECT_EQ(b.y1, 4.0);
    // Floor, not truncation toward zero, on the negative side: -3.25 -> -4.
    EXPECT_EQ(CoveringPixels(b), cv::Rect(-4, -2, 11, 6));
    // A point on whole pixels covers no pixel beyond itself.
    EXPECT_EQ(CoveringPixels(BoundsOfPoints({cv::Point2d(3.0, 5.0)})), cv::Rect(3, 5, 0, 0));
}

TEST(PointBounds, NoPointsGiveBoundsThatHoldNothing) {
    const PointBounds b = BoundsOfPoints(std::vector<cv::Point2d>());
    EXPECT_GT(b.x0, b.x1);
    EXPECT_GT(b.y0, b.y1);
}

}  // namespace
}  // namespace kalvero
