#include <gtest/gtest.h>

#include "support/DetectionFixtures.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/GroupHits.h"
#include "detection/RemoveDuplicateCandidates.h"
#include "detection/SearchContext.h"

namespace kalvero {
namespace {

using testing::Candidate;
using testing::HitsAt;

struct GroupingSetup {
    GroupingSetup() : bank(cv::Mat(100, 300, CV_8UC1, cv::Scalar(0))), context(10, 11.0 * 400) {
        bank.ScaleTemplates(20);  // templates 14 x 22
    }
    GlyphTemplateBank bank;
    SearchContext context;
};

std::vector<GlyphHit> Row(int count, cv::Point origin, int advance) {
    std::vector<cv::Point> corners;
    for (int i = 0; i < count; ++i) {
        corners.emplace_back(origin.x + i * advance, origin.y);
    }
    return HitsAt(corners, 14, 22);
}

TEST(GroupHits, RowOfEightDigitsBecomesOneEnlargedCandidate) {
    GroupingSetup setup;
    GroupHits(setup.context, setup.bank, 3, Row(8, {10, 30}, 17), kMinGroupSize, kMaxGroupSize,
              kHeightTolerance);
    ASSERT_EQ(setup.context.candidates.size(), 1u);
    const CandidateRegion& c = setup.context.candidates[0];
    // Hits cover x 10..143, y 30..52; the region adds one pixel, the
    // enlargement one more on every side.
    EXPECT_EQ(cv::Rect(c.x, c.y, c.width, c.height), cv::Rect(9, 29, 136, 25));
    EXPECT_EQ(c.typeCode, 303);
    EXPECT_EQ(c.reserved[0] | c.reserved[1] | c.reserved[2] | c.reserved[3], 0);
    EXPECT_EQ(c.reservedValue, 0.0f);
}

// Three digits: 48 + 1 columns < 5 W = 60. Eleven digits: 185 > 14 W.
class RowOfDigits : public ::testing::TestWithParam<int> {};

TEST_P(RowOfDigits, FailsTheShapeFilter) {
    GroupingSetup setup;
    GroupHits(setup.context, setup.bank, 1, Row(GetParam(), {10, 30}, 17), kMinGroupSize,
              kMaxGroupSize, kHeightTolerance);
    EXPECT_TRUE(setup.context.candidates.empty()) << GetParam() << " digits";
}

INSTANTIATE_TEST_SUITE_P(ShortAndLong, RowOfDigits, ::testing::Values(3, 11));

TEST(GroupHits, NumberSplitByAWideGapIsMergedBack) {
    // 4 + 4 digits with a gap of 30 (> 1.6 x 14) between the halves: two
    // chains whose boxes lie within 3 W (36) of each other are merged.
    GroupingSetup setup;
    std::vector<GlyphHit> hits = Row(4, {10, 30}, 17);
    const std::vector<GlyphHit> right = Row(4, {10 + 3 * 17 + 14 + 30, 31}, 17);
    hits.insert(hits.end(), right.begin(), right.end());
    GroupHits(setup.context, setup.bank, 1, hits, kMinGroupSize, kMaxGroupSize, kHeightTolerance);
    ASSERT_EQ(setup.context.candidates.size(), 1u);
    const CandidateRegion& c = setup.context.candidates[0];
    EXPECT_EQ(cv::Rect(c.x, c.y, c.width, c.height), cv::Rect(9, 29, 163, 26));
    EXPECT_EQ(c.typeCode, 301);
}

TEST(GroupHits, NoHitsNoCandidates) {
    GroupingSetup setup;
    GroupHits(setup.context, setup.bank, 1, {}, kMinGroupSize, kMaxGroupSize, kHeightTolerance);
    EXPECT_TRUE(setup.context.candidates.empty());
}

TEST(RemoveDuplicateCandidates, EarliestOfEqualBoxesSurvives) {
    SearchContext context(10, 4400.0);
    context.candidates = {Candidate(9, 29, 136, 25, 301), Candidate(50, 60, 100, 30, 301),
                          Candidate(9, 29, 136, 25, 303), Candidate(9, 29, 136, 26, 303),
                          Candidate(50, 60, 100, 30, 303)};
    RemoveDuplicateCandidates(context);
    ASSERT_EQ(context.candidates.size(), 3u);
    EXPECT_EQ(context.candidates[0].typeCode, 301);
    EXPECT_EQ(context.candidates[1].typeCode, 301);
    EXPECT_EQ(context.candidates[1].x, 50);
    EXPECT_EQ(context.candidates[2].typeCode, 303);
    EXPECT_EQ(context.candidates[2].height, 26);
}

}  // namespace
}  // namespace kalvero
