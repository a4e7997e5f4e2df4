#include <gtest/gtest.h>

#include "carriage_number/NumberAssembly.h"
#include "carriage_number/NumberRailwayCarriageRecognition.h"

namespace kalvero {
namespace {

class NumberAssemblyTest : public ::testing::Test {
protected:
    // Candidates of digit d at x with the given score.
    static DigitCandidate At(int digit, int x, double score = 0.8) {
        return {digit, x, score, MatchConfidence(score)};
    }
    int Assemble(std::vector<std::int32_t> positions, int W = 10) {
        return AssembleNumber(list, std::move(positions), W, digits, reading);
    }
    std::vector<int> Xs() const {
        std::vector<int> out;
        for (const DigitCandidate& c : list) {
            out.push_back(c.x);
        }
        return out;
    }
    const std::int32_t code = 1;
    NumberRailwayCarriageRecognition reading{1, &code};
    std::vector<DigitCandidate> list;
    std::string digits;
};

TEST_F(NumberAssemblyTest, WorkedExampleInsertsAOneInTheWideGap) {
    list = {At(7, 45, 0.85), At(5, 0, 0.9), At(3, 60, 0.95), At(2, 30, 0.75)};
    EXPECT_EQ(Assemble({16, 70}), 5);
    EXPECT_EQ(digits, "51273");
    EXPECT_EQ(reading.status, 1);
    EXPECT_EQ(reading.text, "51273");
    EXPECT_EQ(list[1].digit, 1);
    EXPECT_EQ(list[1].x, 16);
    EXPECT_DOUBLE_EQ(list[1].score, 0.7);
    EXPECT_DOUBLE_EQ(list[1].confidence, 0.5);
    EXPECT_FLOAT_EQ(reading.score, (0.9f + 0.7f + 0.75f + 0.85f + 0.95f) / 5.0f);
    const float confidences = static_cast<float>(MatchConfidence(0.9)) + 0.5f +
                              static_cast<float>(MatchConfidence(0.75)) +
                              static_cast<float>(MatchConfidence(0.85)) +
                              static_cast<float>(MatchConfidence(0.95));
    EXPECT_FLOAT_EQ(reading.rankValue, confidences / 5.0f);
}

TEST_F(NumberAssemblyTest, ThinsDoubleHitsKeepingTheBetterOne) {
    // 6 apart (below 0.7 W = 7): the weaker goes; on a tie the left stays.
    list = {At(3, 0, 0.8), At(4, 6, 0.9), At(5, 20, 0.8), At(6, 26, 0.8), At(8, 40)};
    EXPECT_EQ(Assemble({}), 3);
    EXPECT_EQ(digits, "458");
    // 7 apart: both stay.
    list = {At(3, 0), At(4, 7), At(5, 14)};
    EXPECT_EQ(Assemble({}), 3);
    EXPECT_EQ(digits, "345");
}

TEST_F(NumberAssemblyTest, GapOnesNeedRoomOnBothSides) {
    // Gap 0 -> 30 with W = 10: positions 11 .. 28 qualify.
    for (const auto& [p, inserted] :
         std::vector<std::pair<int, bool>>{{10, false}, {11, true}, {28, true}, {29, false}}) {
        list = {At(2, 0), At(3, 30), At(4, 60)};
        Assemble({p});
        EXPECT_EQ(digits, inserted ? "2134" : "234") << p;
    }
    // Several ones in one gap, in position order, and the next gap too.
    list = {At(2, 0), At(3, 50), At(4, 80)};
    Assemble({15, 30, 65});
    EXPECT_EQ(digits, "211314");
    EXPECT_EQ(Xs(), (std::vector<int>{0, 15, 30, 50, 65, 80}));
}

TEST_F(NumberAssemblyTest, NoOneIsInsertedOnceThereAreEight) {
    list = {At(2, 0), At(3, 30), At(4, 45), At(5, 60), At(6, 75), At(7, 90), At(8, 105)};
    EXPECT_EQ(Assemble({15, 115, 125}), 8);  // 115 would be a trailing one
    EXPECT_EQ(digits, "21345678");
    // With 9 digits the gap rule still inserts; the end rules do not run.
    list = {At(2, 0), At(3, 30), At(4, 45), At(5, 60), At(6, 75), At(7, 90), At(8, 105),
            At(9, 120), At(0, 135)};
    EXPECT_EQ(Assemble({-5, 15, 146}), 10);
    EXPECT_EQ(reading.status, 1);
    EXPECT_EQ(digits, "2134567890");
}

TEST_F(NumberAssemblyTest, LeadingAndTrailingOnesLieInNarrowWindows) {
    // First digit at 100: leading ones between 93 and 99 (exclusive).
    for (const auto& [p, inserted] :
         std::vector<std::pair<int, bool>>{{93, false}, {94, true}, {98, true}, {99, false}}) {
        list = {At(2, 100), At(3, 120), At(4, 140)};
        Assemble({p});
        EXPECT_EQ(digits, inserted ? "1234" : "234") << p;
    }
    // Last digit at 140: trailing ones between 150 and 157 (exclusive).
    for (const auto& [p, inserted] :
         std::vector<std::pair<int, bool>>{{150, false}, {151, true}, {156, true}, {157, false}}) {
        list = {At(2, 100), At(3, 120), At(4, 140)};
        Assemble({p});
        EXPECT_EQ(digits, inserted ? "2341" : "234") << p;
    }
}

TEST_F(NumberAssemblyTest, TrailingOnesAreAppendedFromTheLastPosition) {
    list = {At(2, 100), At(3, 120), At(4, 140)};
    Assemble({95, 152, 155});
    // Both trailing positions are measured from the 4; the last one first.
    EXPECT_EQ(digits, "123411");
    EXPECT_EQ(Xs(), (std::vector<int>{95, 100, 120, 140, 155, 152}));
}

TEST_F(NumberAssemblyTest, RejectsTooFewDifferentDigitsOrTooLongTexts) {
    reading.text = "earlier";
    reading.score = 0.25f;
    reading.rankValue = 0.9f;
    list = {At(7, 0), At(7, 30), At(7, 60)};
    EXPECT_EQ(Assemble({15, 45}), 5);
    EXPECT_EQ(reading.status, -1);
    EXPECT_EQ(digits, "");
    EXPECT_EQ(reading.text, "earlier");
    EXPECT_EQ(reading.score, 0.25f);
    EXPECT_EQ(reading.rankValue, 0.0f);

    list.clear();
    for (int i = 0; i < 11; ++i) {
        list.push_back(At(i % 10, 20 * i));
    }
    EXPECT_EQ(Assemble({}), 11);
    EXPECT_EQ(reading.status, -1);
}

TEST_F(NumberAssemblyTest, TextStopsAtNinetyNineDigits) {
    for (int i = 0; i < 120; ++i) {
        list.push_back(At(i % 10, 10 * i));
    }
    EXPECT_EQ(Assemble({}), 99);
    EXPECT_EQ(reading.status, -1);
    EXPECT_TRUE(digits.empty());
}

}  // namespace
}  // namespace kalvero
