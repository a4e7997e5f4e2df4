#include <gtest/gtest.h>

#include <string>

#include "support/DetectionFixtures.h"
#include "detection/ReadingRanking.h"

namespace kalvero {
namespace {

using testing::MakeReading;
using Readings = std::vector<RecognitionResult>;

// Two readings of one number at nearly the same place: one survives with
// the bonus added to its own score.
struct MergeCase {
    const char* name;
    float firstRank, firstScore;
    float secondRank, secondScore;
    int survivorX;
    float survivorScore;
};

class RepeatedReading : public ::testing::TestWithParam<MergeCase> {};

TEST_P(RepeatedReading, OneSurvivesWithTheBonus) {
    const MergeCase c = GetParam();
    Readings list = {MakeReading("52473068", 10, 10, 100, 30, c.firstRank, c.firstScore),
                     MakeReading("52473068", 12, 11, 100, 30, c.secondRank, c.secondScore)};
    MergeRepeatedReadings(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].x, c.survivorX);
    EXPECT_EQ(list[0].score, c.survivorScore);
}

INSTANTIATE_TEST_SUITE_P(
    MergeRepeatedReadings, RepeatedReading,
    ::testing::Values(MergeCase{"HigherRankValueWins", 0.7f, 0.5f, 0.8f, 0.4f, 12, 0.4f + 0.2f},
                      MergeCase{"EqualRankValueKeepsTheEarlier", 0.8f, 0.5f, 0.8f, 0.9f, 10,
                                0.5f + 0.2f}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

// A 100 x 30 reading at the origin and the same reading shifted: the two
// merge only when the overlap exceeds half the earlier box's width and half
// its height. Shifted by exactly half, the overlap is not wider than half.
struct ShiftCase {
    cv::Point shift;
    std::size_t remaining;
};

class ShiftedRepeat : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftedRepeat, OverlapMustExceedHalfOfTheEarlierBox) {
    const ShiftCase c = GetParam();
    Readings list = {MakeReading("1234", 0, 0, 100, 30, 0.5f, 0.5f),
                     MakeReading("1234", c.shift.x, c.shift.y, 100, 30, 0.5f, 0.5f)};
    MergeRepeatedReadings(list);
    EXPECT_EQ(list.size(), c.remaining) << c.shift;
}

INSTANTIATE_TEST_SUITE_P(MergeRepeatedReadings, ShiftedRepeat,
                         ::testing::Values(ShiftCase{{50, 0}, 2}, ShiftCase{{49, 0}, 1},
                                           ShiftCase{{0, 15}, 2}, ShiftCase{{0, 14}, 1}));

TEST(MergeRepeatedReadings, OverlapIsMeasuredAgainstTheEarlierRecord) {
    // A small box inside a large one: merged when the small one comes first.
    Readings smallFirst = {MakeReading("77", 10, 10, 10, 10, 0.5f, 0.5f),
                           MakeReading("77", 0, 0, 100, 30, 0.5f, 0.5f)};
    MergeRepeatedReadings(smallFirst);
    EXPECT_EQ(smallFirst.size(), 1u);
    Readings largeFirst = {MakeReading("77", 0, 0, 100, 30, 0.5f, 0.5f),
                           MakeReading("77", 10, 10, 10, 10, 0.5f, 0.5f)};
    MergeRepeatedReadings(largeFirst);
    EXPECT_EQ(largeFirst.size(), 2u);
}

TEST(MergeRepeatedReadings, TextAndTypeCodeMustMatch) {
    Readings list = {MakeReading("52473068", 10, 10, 100, 30, 0.5f, 0.5f),
                     MakeReading("52473069", 10, 10, 100, 30, 0.5f, 0.5f),
                     MakeReading("5247306", 10, 10, 100, 30, 0.5f, 0.5f),
                     MakeReading("52473068", 10, 10, 100, 30, 0.5f, 0.5f, 303)};
    MergeRepeatedReadings(list);
    EXPECT_EQ(list.size(), 4u);
}

TEST(MergeRepeatedReadings, EachPositionAbsorbsAtMostOneRepeat) {
    Readings list = {MakeReading("52473068", 10, 10, 100, 30, 0.5f, 0.1f),
                     MakeReading("52473068", 11, 10, 100, 30, 0.4f, 0.2f),
                     MakeReading("52473068", 12, 10, 100, 30, 0.3f, 0.3f)};
    MergeRepeatedReadings(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].x, 10);
    EXPECT_EQ(list[0].score, 0.1f + 0.2f);
    EXPECT_EQ(list[1].x, 12);
    EXPECT_EQ(list[1].score, 0.3f);
}

TEST(MergeRepeatedReadings, RecordMovedUpIntoAFinishedPositionIsNotCompared) {
    // Position 0 loses to the third record and is erased; the second record
    // moves into position 0 and is not compared with its own repeat.
    Readings list = {MakeReading("111", 0, 0, 100, 30, 0.1f, 0.1f),
                     MakeReading("222", 0, 50, 100, 30, 0.5f, 0.5f),
                     MakeReading("111", 1, 0, 100, 30, 0.9f, 0.9f),
                     MakeReading("222", 1, 50, 100, 30, 0.5f, 0.5f)};
    MergeRepeatedReadings(list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0].text, "222");
    EXPECT_STREQ(list[1].text, "111");
    EXPECT_EQ(list[1].x, 1);
    EXPECT_EQ(list[1].score, 0.9f + 0.2f);
    EXPECT_STREQ(list[2].text, "222");
}

TEST(SortReadingsByScore, HighestFirstEqualScoresKeepTheirOrder) {
    Readings list = {MakeReading("a", 0, 0, 1, 1, 0, 0.5f), MakeReading("b", 0, 0, 1, 1, 0, 0.9f),
                     MakeReading("c", 0, 0, 1, 1, 0, 0.5f), MakeReading("d", 0, 0, 1, 1, 0, 0.7f),
                     MakeReading("e", 0, 0, 1, 1, 0, 0.5f)};
    SortReadingsByScore(list);
    std::string order;
    for (const RecognitionResult& r : list) {
        order += r.text;
    }
    EXPECT_EQ(order, "bdace");
}

TEST(BestReadings, OneHundredFiftyReadingsGiveTheHundredBest) {
    Readings list;
    for (int i = 0; i < 150; ++i) {
        // Distinct texts and scores in a scrambled order.
        const int rank = (i * 37) % 150;
        list.push_back(MakeReading(std::to_string(10000000 + rank), 0, 0, 100, 30, 0.5f,
                                   static_cast<float>(rank) / 150.0f));
    }
    MergeRepeatedReadings(list);
    ASSERT_EQ(list.size(), 150u);
    SortReadingsByScore(list);
    const Readings best = BestReadings(list, 100);
    ASSERT_EQ(best.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(best[i].text, std::to_string(10000000 + 149 - i)) << i;
    }
    EXPECT_EQ(BestReadings(list, 200).size(), 150u);
    EXPECT_TRUE(BestReadings(list, 0).empty());
}

}  // namespace
}  // namespace kalvero
