#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "detection/GlyphHits.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/RemoveLongRuns.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

TEST(HitVeto, RunColumnMustLieInsideTheHitColumns) {
    const GlyphHit hit(10, 20, 12, 22);
    // Rows 15..44 overlap the hit's rows 20..41.
    EXPECT_FALSE(IsHitVetoed(hit, {cv::Rect(9, 15, 1, 30)}));
    EXPECT_TRUE(IsHitVetoed(hit, {cv::Rect(10, 15, 1, 30)}));
    EXPECT_TRUE(IsHitVetoed(hit, {cv::Rect(21, 15, 1, 30)}));
    EXPECT_FALSE(IsHitVetoed(hit, {cv::Rect(22, 15, 1, 30)}));
    EXPECT_TRUE(IsHitVetoed(hit, {cv::Rect(9, 15, 1, 30), cv::Rect(16, 15, 1, 30)}));
    EXPECT_FALSE(IsHitVetoed(hit, {}));
}

TEST(HitVeto, RowsMustOverlapStrictly) {
    const GlyphHit hit(10, 20, 12, 22);
    EXPECT_FALSE(IsHitVetoed(hit, {cv::Rect(15, 0, 1, 20)}));   // ends where the hit starts
    EXPECT_TRUE(IsHitVetoed(hit, {cv::Rect(15, 0, 1, 21)}));
    EXPECT_TRUE(IsHitVetoed(hit, {cv::Rect(15, 41, 1, 30)}));   // starts on the last row
    EXPECT_FALSE(IsHitVetoed(hit, {cv::Rect(15, 42, 1, 30)}));
}

TEST(HitVeto, RecordedRunCoversOneRowLessThanItsLength) {
    // A removed run of 31 pixels (rows 0..30) is stored with height 30, so a
    // hit starting on its last pixel row is not vetoed but one row above is.
    cv::Mat image(60, 20, CV_8UC1, cv::Scalar(0));
    image(cv::Rect(5, 0, 1, 31)).setTo(255);
    std::vector<cv::Rect> runs;
    RemoveLongRuns(image, 100, 30, runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_FALSE(IsHitVetoed(GlyphHit(0, 30, 12, 22), runs));
    EXPECT_TRUE(IsHitVetoed(GlyphHit(0, 29, 12, 22), runs));
}

cv::Mat ZeroMap(int rows, int cols) { return cv::Mat(rows, cols, CV_32FC1, cv::Scalar(0)); }

TEST(TileHits, BestValueMustExceedThreshold) {
    cv::Mat map = ZeroMap(20, 20);
    const float atThreshold = 0.64f;  // the float nearest 0.64 lies just below it
    const float above = std::nextafter(static_cast<float>(kHitThreshold), 1.0f);
    map.at<float>(3, 4) = atThreshold;    // tile (0, 0)
    map.at<float>(2, 16) = above;         // tile (1, 0)
    map.at<float>(15, 3) = 0.9f;          // tile (0, 1)
    std::vector<GlyphHit> hits;
    CollectTileHits(map, 10, 10, {}, hits);
    ASSERT_EQ(hits.size(), 2u);
    // Tile rows top to bottom, tiles left to right.
    EXPECT_EQ(hits[0], GlyphHit(16, 2, 10, 10));
    EXPECT_EQ(hits[1], GlyphHit(3, 15, 10, 10));
}

// A correlation map of zeros with a few set values, searched in 10 x 10
// tiles: exactly one hit comes out, at `expected`.
struct TileCase {
    const char* name;
    cv::Size map;
    std::vector<std::pair<cv::Point, float>> values;  // (x, y) and value
    std::vector<cv::Rect> exclusions;
    cv::Point expected;
};

class SingleTileHit : public ::testing::TestWithParam<TileCase> {};

TEST_P(SingleTileHit, IsFoundWhereTheRuleSays) {
    const TileCase& c = GetParam();
    cv::Mat map = ZeroMap(c.map.height, c.map.width);
    for (const auto& [at, value] : c.values) {
        map.at<float>(at) = value;
    }
    std::vector<GlyphHit> hits;
    CollectTileHits(map, 10, 10, c.exclusions, hits);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].tl(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TileHits, SingleTileHit,
    ::testing::Values(
        // Equal maxima: the first in row-major order wins.
        TileCase{"FirstMaximumInRowMajorOrderWins",
                 {10, 10},
                 {{{8, 4}, 0.8f}, {{1, 5}, 0.8f}, {{9, 4}, 0.8f}},
                 {},
                 {8, 4}},
        // 29 x 19 map with 10 x 10 tiles: only the 2 x 1 whole tiles count;
        // the last pixel of the last whole tile does.
        TileCase{"PartialTilesAreNotExamined",
                 {29, 19},
                 {{{25, 5}, 0.99f}, {{5, 15}, 0.99f}, {{19, 9}, 0.7f}},
                 {},
                 {19, 9}},
        // The first tile's best hit is vetoed and its second best (at 8, 7)
        // is not taken instead.
        TileCase{"VetoedHitIsDroppedAndTheTileGivesNoOther",
                 {20, 10},
                 {{{3, 2}, 0.9f}, {{8, 7}, 0.8f}, {{12, 1}, 0.9f}},
                 {cv::Rect(5, 0, 1, 30)},
                 {12, 1}}),
    [](const ::testing::TestParamInfo<TileCase>& info) { return info.param.name; });

// Binarised zone with the given digits drawn at digit height h.
cv::Mat DrawnDigits(const std::string& digits, cv::Point origin, int h, cv::Size size) {
    cv::Mat image(size, CV_8UC1, cv::Scalar(0));
    DrawDigits(image, digits, origin, h, 0.25, cv::Scalar(255));
    return image;
}

TEST(ModeHits, DrawnDigitIsFoundAtItsPlace) {
    const int h = 20;
    GlyphTemplateBank bank(cv::Mat(100, 200, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(h);
    // The digit's box starts inside map tile (3, 1) of 14 x 22 tiles.
    const cv::Point origin(45, 25);
    bank.scanImages[1] = DrawnDigits("8", origin, h, bank.greyImage.size());
    const std::vector<GlyphHit> hits = CollectModeHits(bank, 1);
    bool found = false;
    for (const GlyphHit& hit : hits) {
        EXPECT_EQ(hit.size(), cv::Size(14, 22));
        found = found || hit.tl() == origin;
    }
    EXPECT_TRUE(found);

    // A removed vertical run through the digit's columns vetoes every hit
    // that covers it.
    bank.exclusionBoxes[1] = {cv::Rect(origin.x + 7, 0, 1, 100)};
    for (const GlyphHit& hit : CollectModeHits(bank, 1)) {
        EXPECT_FALSE(hit.x <= origin.x + 7 && origin.x + 7 < hit.x + hit.width);
    }
}

TEST(ModeHits, HitsAreSortedByX) {
    const int h = 20;
    GlyphTemplateBank bank(cv::Mat(120, 300, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(h);
    cv::Mat scan = DrawnDigits("5030", cv::Point(150, 60), h, bank.greyImage.size());
    DrawDigits(scan, "9462", cv::Point(10, 5), h, 0.25, cv::Scalar(255));
    bank.scanImages[3] = scan;
    const std::vector<GlyphHit> hits = CollectModeHits(bank, 3);
    ASSERT_GE(hits.size(), 4u);
    for (std::size_t i = 1; i < hits.size(); ++i) {
        EXPECT_LE(hits[i - 1].x, hits[i].x);
    }
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

std::vector<GlyphHit> HitsOnPath(GlyphTemplateBank& bank, int mode, CorrelationPath path) {
    bank.correlationPath = path;
    return CollectModeHits(bank, mode);
}

TEST(ModeHits, FastSearchFindsTheReferenceHits) {
    // Digits, speckle and a vetoing run on one scan image.
    const int h = 24;
    GlyphTemplateBank bank(cv::Mat(110, 330, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(h);
    cv::Mat scan = DrawnDigits("68021957", cv::Point(12, 30), h, bank.greyImage.size());
    cv::Mat speckle(scan.size(), CV_8UC1);
    cv::RNG(31).fill(speckle, cv::RNG::UNIFORM, 0, 100);
    scan.setTo(255, speckle < 12);
    bank.scanImages[1] = scan;
    bank.exclusionBoxes[1] = {cv::Rect(100, 0, 1, 80)};
    const std::vector<GlyphHit> reference = HitsOnPath(bank, 1, CorrelationPath::Reference);
    EXPECT_GE(reference.size(), 8u);
    EXPECT_EQ(HitsOnPath(bank, 1, CorrelationPath::Fast), reference);
}

TEST(ModeHits, ScanImageWithGreyLevelsIsSearchedInFull) {
    // The fast search relies on 0/255 images; anything else takes the full
    // maps, with the same result on both paths.
    const int h = 20;
    GlyphTemplateBank bank(cv::Mat(100, 200, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(h);
    cv::Mat scan = DrawnDigits("4", cv::Point(40, 30), h, bank.greyImage.size());
    cv::GaussianBlur(scan, scan, cv::Size(3, 3), 0.8);
    bank.scanImages[1] = scan;
    EXPECT_FALSE(MakeModeIndex(bank, 1));
    const std::vector<GlyphHit> reference = HitsOnPath(bank, 1, CorrelationPath::Reference);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(HitsOnPath(bank, 1, CorrelationPath::Fast), reference);
}

}  // namespace
}  // namespace kalvero
