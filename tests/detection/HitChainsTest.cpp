#include <gtest/gtest.h>

#include "support/DetectionFixtures.h"
#include "detection/HitChains.h"
#include "detection/SearchContext.h"

namespace kalvero {
namespace {

using testing::HitsAt;

std::vector<HitChain> Chains(const std::vector<GlyphHit>& hits) {
    return BuildHitChains(hits, kMaxGroupSize, kHeightTolerance);
}

TEST(HitChains, EveryHitSeedsItsOwnChain) {
    const auto hits = HitsAt({{0, 0}, {12, 0}, {24, 0}}, 10, 20);
    const auto chains = Chains(hits);
    ASSERT_EQ(chains.size(), 3u);
    EXPECT_EQ(chains[0], (HitChain{0, 1, 2}));
    EXPECT_EQ(chains[1], (HitChain{1, 2}));
    EXPECT_EQ(chains[2], (HitChain{2}));
}

TEST(HitChains, GapOfExactlyOnePointSixWidthsStillJoins) {
    // Width 10: a gap of 16 joins, a gap of 17 ends the scan.
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {26, 0}}, 10, 20))[0], (HitChain{0, 1}));
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {27, 0}}, 10, 20))[0], (HitChain{0}));
}

TEST(HitChains, FollowerLimits) {
    // Overlap: a gap of -1 (= -0.1 width) joins, -2 does not.
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {9, 0}}, 10, 20))[0], (HitChain{0, 1}));
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {8, 0}}, 10, 20))[0], (HitChain{0}));
    // Tops within 0.2 height (4 of 20) join, 5 apart do not.
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {12, 4}}, 10, 20))[0], (HitChain{0, 1}));
    EXPECT_EQ(Chains(HitsAt({{0, 4}, {12, 0}}, 10, 20))[0], (HitChain{0, 1}));
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {12, 5}}, 10, 20))[0], (HitChain{0}));
    // Heights within 0.2 of the tail's height: 24 joins a 20, 25 does not.
    std::vector<GlyphHit> hits = {GlyphHit(0, 0, 10, 20), GlyphHit(12, 0, 10, 24)};
    EXPECT_EQ(Chains(hits)[0], (HitChain{0, 1}));
    hits[1].height = 25;
    EXPECT_EQ(Chains(hits)[0], (HitChain{0}));
}

TEST(HitChains, NearestFollowerWinsAndTheFirstOnTies) {
    // |dx| + 2|dy|: 13 + 2 * 2 = 17 against 15 + 2 * 1 = 17: the first found.
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {13, 2}, {15, 1}}, 10, 20))[0], (HitChain{0, 1}));
    // 13 + 2 * 4 = 21 against 15: the second.
    EXPECT_EQ(Chains(HitsAt({{0, 0}, {13, 4}, {15, 0}}, 10, 20))[0], (HitChain{0, 2}));
}

TEST(HitChains, AtMostFiveFollowersAreWeighed) {
    // Five followers at distance 11..15 + 8, then a sixth at distance 16:
    // the sixth is never looked at, so the first of the five is chosen.
    const auto hits =
        HitsAt({{0, 0}, {11, 4}, {12, 4}, {13, 4}, {14, 4}, {15, 4}, {16, 0}}, 10, 20);
    EXPECT_EQ(Chains(hits)[0].at(1), 1);
    // Without the fifth follower the sixth is weighed and wins.
    const auto fewer = HitsAt({{0, 0}, {11, 4}, {12, 4}, {13, 4}, {14, 4}, {16, 0}}, 10, 20);
    EXPECT_EQ(Chains(fewer)[0].at(1), 5);
}

TEST(HitChains, ChainStopsAtTwentyMembers) {
    std::vector<cv::Point> corners;
    for (int i = 0; i < 25; ++i) {
        corners.emplace_back(i * 12, 0);
    }
    const auto chains = Chains(HitsAt(corners, 10, 20));
    ASSERT_EQ(chains.size(), 25u);
    EXPECT_EQ(chains[0].size(), 20u);
    EXPECT_EQ(chains[0].back(), 19);
    EXPECT_EQ(chains[5].size(), 20u);
    EXPECT_EQ(chains[6].size(), 19u);
    EXPECT_EQ(BuildHitChains(HitsAt(corners, 10, 20), 3, kHeightTolerance)[0],
              (HitChain{0, 1, 2}));
}

TEST(HitChains, RowOfDigitsChainsInOrderDespiteOverlappingHits) {
    // Two templates hit each digit place one pixel apart (sorted by x).
    const auto hits =
        HitsAt({{0, 0}, {1, 1}, {13, 0}, {14, 1}, {26, 0}, {27, 1}}, 10, 20);
    EXPECT_EQ(Chains(hits)[0], (HitChain{0, 2, 4}));
}

TEST(ChainRegion, LoneHitGrowsByOnePixel) {
    const auto hits = HitsAt({{10, 20}}, 12, 22);
    EXPECT_EQ(ChainRegion(hits, {0}), cv::Rect(10, 20, 13, 23));
}

TEST(ChainRegion, AlignedRowGivesItsBoundingBox) {
    const auto hits = HitsAt({{10, 20}, {25, 20}, {40, 20}}, 12, 22);
    EXPECT_EQ(ChainRegion(hits, {0, 1, 2}), cv::Rect(10, 20, 43, 23));
    EXPECT_EQ(ChainRegion(hits, {1, 2}), cv::Rect(25, 20, 28, 23));
}

TEST(ChainRegion, SlantedRowUsesTheRotatedRectangle) {
    // A rising row: the rotated rectangle around it reaches beyond the
    // axis-aligned box of the hits at the ends.
    std::vector<cv::Point> corners;
    for (int i = 0; i < 8; ++i) {
        corners.emplace_back(100 + i * 12, 100 - i * 3);
    }
    const auto hits = HitsAt(corners, 10, 20);
    HitChain chain;
    for (int i = 0; i < 8; ++i) {
        chain.push_back(i);
    }
    const cv::Rect region = ChainRegion(hits, chain);
    // Pixel box of the hit corners (x 100..194, y 79..120).
    const cv::Rect cornerBox(100, 79, 95, 42);
    EXPECT_EQ(region & cornerBox, cornerBox);
    EXPECT_GT(region.width, cornerBox.width);
    EXPECT_GT(region.height, cornerBox.height);
}

}  // namespace
}  // namespace kalvero
