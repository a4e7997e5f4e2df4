#include <gtest/gtest.h>

#include "detection/RegionFilters.h"

namespace kalvero {
namespace {

using Regions = std::vector<cv::Rect>;

// h = 20: minArea 132, maxArea 4400.
constexpr double kMinArea = 0.03 * 11 * 400;
constexpr double kMaxArea = 11.0 * 400;

TEST(RegionAreaFilter, BoundsAreInclusiveAndOrderIsKept) {
    Regions regions = {cv::Rect(0, 0, 131, 1), cv::Rect(1, 0, 12, 11), cv::Rect(2, 0, 110, 40),
                       cv::Rect(3, 0, 4401, 1), cv::Rect(4, 0, 66, 2)};
    FilterRegionsByArea(regions, kMinArea, kMaxArea);
    EXPECT_EQ(regions, (Regions{cv::Rect(1, 0, 12, 11), cv::Rect(2, 0, 110, 40),
                                cv::Rect(4, 0, 66, 2)}));
}

// The overlap clean-up at h = 20: the regions before and after.
struct CleanUpCase {
    const char* name;
    Regions regions;
    Regions expected;
};

class OverlapCleanUp : public ::testing::TestWithParam<CleanUpCase> {};

TEST_P(OverlapCleanUp, LeavesTheExpectedRegions) {
    Regions regions = GetParam().regions;
    CleanUpOverlaps(regions, kMinArea);
    EXPECT_EQ(regions, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OverlapCleanUp,
    ::testing::Values(
        CleanUpCase{"RegionsOfEqualWidthAreNeverCompared",
                    {cv::Rect(10, 10, 100, 30), cv::Rect(12, 11, 100, 30)},
                    {cv::Rect(10, 10, 100, 30), cv::Rect(12, 11, 100, 30)}},
        // Inside the wider region, before and after it in the table.
        CleanUpCase{"NarrowerOverlappingRegionGoesWhereverItStands",
                    {cv::Rect(20, 12, 40, 20), cv::Rect(10, 10, 100, 30), cv::Rect(60, 12, 30, 20)},
                    {cv::Rect(10, 10, 100, 30)}},
        // Overlap 5 x 20 = 100 < 132 on the corner; the wide region is
        // unchanged.
        CleanUpCase{"SmallOverlapRemovesTheNarrowerRegion",
                    {cv::Rect(50, 10, 100, 30), cv::Rect(145, 20, 60, 30),
                     cv::Rect(300, 10, 60, 30)},
                    {cv::Rect(50, 10, 100, 30), cv::Rect(300, 10, 60, 30)}},
        // Overlap 5 x 28 = 140 >= 132, tops 2 apart (< 0.2 x 30), overlap
        // width 5 < 0.2 x 40: the wide region takes in the left edge, top and
        // bottom and keeps its right edge.
        CleanUpCase{"SlightOverlapOnTheLeftExtendsTheWiderRegion",
                    {cv::Rect(50, 10, 100, 30), cv::Rect(15, 12, 40, 30)},
                    {cv::Rect(15, 10, 135, 32)}},
        // Tops 6 apart (not < 0.2 x 30): removed without extending.
        CleanUpCase{"TopsTooFarApartRemoveWithoutExtending",
                    {cv::Rect(50, 10, 100, 30), cv::Rect(17, 16, 40, 30)},
                    {cv::Rect(50, 10, 100, 30)}},
        // Overlap width 8, not < 0.2 x 40: removed without extending.
        CleanUpCase{"WideOverlapRemovesWithoutExtending",
                    {cv::Rect(50, 10, 100, 30), cv::Rect(18, 12, 40, 30)},
                    {cv::Rect(50, 10, 100, 30)}},
        // The third region extends the first, which then overlaps the
        // second; only a further pass sees that overlap.
        CleanUpCase{"PassesRepeatUntilNothingChanges",
                    {cv::Rect(50, 10, 100, 30), cv::Rect(0, 10, 20, 30), cv::Rect(15, 12, 40, 30)},
                    {cv::Rect(15, 10, 135, 32)}},
        CleanUpCase{"RegionsNarrowerThanFivePixelsGo",
                    {cv::Rect(0, 0, 4, 40), cv::Rect(100, 0, 5, 40), cv::Rect(200, 0, 3, 3)},
                    {cv::Rect(100, 0, 5, 40)}}),
    [](const ::testing::TestParamInfo<CleanUpCase>& info) { return info.param.name; });

TEST(NeighbourMerge, LimitsAreStrict) {
    // h = 20, W = 12: dy = 8, dx = 36. P's right edge is at 60.
    Regions regions = {cv::Rect(0, 0, 60, 20), cv::Rect(95, 7, 60, 20)};
    MergeNeighbours(regions, 8, 36);
    EXPECT_EQ(regions, (Regions{cv::Rect(0, 0, 155, 27)}));

    regions = {cv::Rect(0, 0, 60, 20), cv::Rect(95, 8, 60, 20)};
    MergeNeighbours(regions, 8, 36);
    EXPECT_EQ(regions.size(), 2u);

    regions = {cv::Rect(0, 0, 60, 20), cv::Rect(96, 0, 60, 20)};
    MergeNeighbours(regions, 8, 36);
    EXPECT_EQ(regions.size(), 2u);
}

TEST(NeighbourMerge, GrownRegionKeepsMergingAndEarlierRegionsCount) {
    // Regions stand right to left in the table: each swallows the region
    // before it, and the grown box goes on to swallow the next one.
    Regions regions = {cv::Rect(200, 2, 50, 20), cv::Rect(100, 0, 70, 20),
                       cv::Rect(0, 1, 80, 20), cv::Rect(0, 300, 80, 20)};
    MergeNeighbours(regions, 8, 36);
    EXPECT_EQ(regions, (Regions{cv::Rect(0, 0, 250, 22), cv::Rect(0, 300, 80, 20)}));
}

TEST(ShapeFilter, BoundsAreInclusive) {
    // h = 20, W = 12: width 60..168, height 16..60.
    Regions regions = {cv::Rect(0, 0, 60, 16),  cv::Rect(1, 0, 168, 60), cv::Rect(2, 0, 59, 30),
                       cv::Rect(3, 0, 169, 30), cv::Rect(4, 0, 100, 15), cv::Rect(5, 0, 100, 61)};
    FilterRegionsByShape(regions, 20, 12);
    EXPECT_EQ(regions, (Regions{cv::Rect(0, 0, 60, 16), cv::Rect(1, 0, 168, 60)}));
}

TEST(RegionEnlargement, OnePixelEachSideInsideTheImage) {
    const cv::Size image(640, 360);
    EXPECT_EQ(EnlargeRegion(cv::Rect(10, 10, 100, 30), image), cv::Rect(9, 9, 102, 32));
    EXPECT_EQ(EnlargeRegion(cv::Rect(1, 1, 100, 30), image), cv::Rect(0, 0, 102, 32));
    // On the left and top border only the right and bottom grow.
    EXPECT_EQ(EnlargeRegion(cv::Rect(0, 0, 100, 30), image), cv::Rect(0, 0, 102, 32));
    // Near the right and bottom border the region ends one pixel short of it.
    EXPECT_EQ(EnlargeRegion(cv::Rect(600, 300, 39, 59), image), cv::Rect(599, 299, 40, 60));
    EXPECT_EQ(EnlargeRegion(cv::Rect(537, 300, 100, 57), image), cv::Rect(536, 299, 102, 59));
}

}  // namespace
}  // namespace kalvero
