// The one rectangle clip shared by the run loop, the overlays and the sign
// reader: what it keeps at the edges decides which pixels get read or drawn.
#include <climits>

#include <gtest/gtest.h>

#include "recognition_common/ClipRect.h"

namespace kalvero {
namespace {

const cv::Size kImage(640, 480);

TEST(ClipRect, KeepsWhatLiesInsideAndCutsTheRest) {
    EXPECT_EQ(ClipRect(cv::Rect(10, 20, 100, 50), kImage), cv::Rect(10, 20, 100, 50));
    EXPECT_EQ(ClipRect(cv::Rect(0, 0, 640, 480), kImage), cv::Rect(0, 0, 640, 480));
    // Reaching past the right and bottom edges.
    EXPECT_EQ(ClipRect(cv::Rect(600, 450, 100, 100), kImage), cv::Rect(600, 450, 40, 30));
    // Starting left of and above the image: the origin moves in, the far
    // edges stay where they were.
    EXPECT_EQ(ClipRect(cv::Rect(-30, -10, 100, 50), kImage), cv::Rect(0, 0, 70, 40));
    // Larger than the image on every side.
    EXPECT_EQ(ClipRect(cv::Rect(-5, -5, 1000, 1000), kImage), cv::Rect(0, 0, 640, 480));
}

TEST(ClipRect, NothingInsideGivesAnEmptyRectangle) {
    EXPECT_TRUE(ClipRect(cv::Rect(640, 0, 10, 10), kImage).empty());     // touches the right edge only
    EXPECT_TRUE(ClipRect(cv::Rect(0, 480, 10, 10), kImage).empty());     // touches the bottom edge only
    EXPECT_TRUE(ClipRect(cv::Rect(-10, 0, 10, 10), kImage).empty());     // ends where the image starts
    EXPECT_TRUE(ClipRect(cv::Rect(-100, -100, 50, 50), kImage).empty());
    EXPECT_TRUE(ClipRect(cv::Rect(10, 10, 0, 10), kImage).empty());
    EXPECT_TRUE(ClipRect(cv::Rect(10, 10, -40, -20), kImage).empty());  // negative size
    EXPECT_TRUE(ClipRect(cv::Rect(0, 0, 10, 10), cv::Size(0, 0)).empty());
    // The empty answer is the canonical one, so callers can compare it.
    EXPECT_EQ(ClipRect(cv::Rect(700, 700, 5, 5), kImage), cv::Rect());
}

TEST(ClipRect, EdgesNearIntMaxDoNotWrapAround) {
    // In 32 bits x + width would wrap to a negative right edge and the clip
    // would either drop a visible part or keep an invisible one.
    EXPECT_EQ(ClipRect(cv::Rect(100, 100, INT_MAX, INT_MAX), kImage), cv::Rect(100, 100, 540, 380));
    EXPECT_TRUE(ClipRect(cv::Rect(INT_MAX, INT_MAX, INT_MAX, INT_MAX), kImage).empty());
    EXPECT_EQ(ClipRect(cv::Rect(INT_MAX - 1, 0, 10, 10), cv::Size(INT_MAX, 10)), cv::Rect(INT_MAX - 1, 0, 1, 10));
    // From the most negative origin the largest size ends just short of the
    // image; from a little further right it reaches 10 pixels in.
    EXPECT_EQ(ClipRect(cv::Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), kImage), cv::Rect());
    EXPECT_EQ(ClipRect(cv::Rect(-INT_MAX + 10, 0, INT_MAX, 5), kImage), cv::Rect(0, 0, 10, 5));
}

}  // namespace
}  // namespace kalvero
