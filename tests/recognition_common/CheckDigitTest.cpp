#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "recognition_common/CheckDigit.h"

namespace kalvero {
namespace {

TEST(CheckDigit, ComputesWeightedDigitSum) {
    // 5*2=10 -> 1, 2, 4*2=8, 7, 3*2=6, 0, 6*2=12 -> 3: sum 27, check 3.
    EXPECT_EQ(ComputeCheckDigit("5247306"), 3);
    // 2, 2, 6, 4, 10 -> 1, 6, 14 -> 5: sum 26, check 4.
    EXPECT_EQ(ComputeCheckDigit("1234567"), 4);
    // A sum that already is a multiple of ten gives 0, not 10.
    EXPECT_EQ(ComputeCheckDigit("0000000"), 0);
    // 1 + (18 -> 9) = 10: check 0 (adding the product 18 would give 1).
    EXPECT_EQ(ComputeCheckDigit("0000019"), 0);
}

TEST(CheckDigit, AddsTheDigitsOfEachProductNotTheProduct) {
    // 9*2 = 18 counts as 1 + 8 = 9, so the check digit is 1; adding the
    // product itself would give 2.
    EXPECT_EQ(ComputeCheckDigit("9000000"), 1);
    EXPECT_TRUE(CheckDigitHolds("90000001"));
    EXPECT_FALSE(CheckDigitHolds("90000002"));
    // The weights start with 2 on the first digit: 0100000 -> 1, check 9;
    // 1000000 -> 2, check 8.
    EXPECT_EQ(ComputeCheckDigit("0100000"), 9);
    EXPECT_EQ(ComputeCheckDigit("1000000"), 8);
    EXPECT_EQ(ComputeCheckDigit("0000001"), 8);
}

TEST(CheckDigit, HoldsOnlyForEightDigitsWithTheRightLastDigit) {
    EXPECT_TRUE(CheckDigitHolds("52473063"));
    EXPECT_TRUE(CheckDigitHolds("12345674"));
    EXPECT_TRUE(CheckDigitHolds("00000000"));
    EXPECT_FALSE(CheckDigitHolds("52473068"));
    EXPECT_FALSE(CheckDigitHolds("12345678"));
    EXPECT_FALSE(CheckDigitHolds(""));
    EXPECT_FALSE(CheckDigitHolds("5247306"));
    EXPECT_FALSE(CheckDigitHolds("524730633"));
    EXPECT_FALSE(CheckDigitHolds("5247306x"));
    EXPECT_FALSE(CheckDigitHolds("x2473063"));
    EXPECT_EQ(ComputeCheckDigit("524730"), -1);
    EXPECT_EQ(ComputeCheckDigit("52a7306"), -1);
}

// Choices of a reader sure of every digit of `number` but those given.
std::vector<std::array<float, 10>> SureOf(const std::string& number) {
    std::vector<std::array<float, 10>> choices(number.size());
    for (std::size_t i = 0; i < number.size(); ++i) choices[i][static_cast<std::size_t>(number[i] - '0')] = 1.0f;
    return choices;
}

TEST(CheckDigitPosterior, ADoubtTheCheckDigitSettlesIsNoDoubt) {
    // Place 3 reads 7 or 1 half and half: only 7 keeps the check digit.
    std::vector<std::array<float, 10>> choices = SureOf("52473063");
    choices[3] = {};
    choices[3][7] = 0.5f;
    choices[3][1] = 0.5f;
    EXPECT_NEAR(CheckDigitPosterior("52473063", choices), 1.0, 1e-9);
    // Two doubtful places: of the four pairs, 52473063 and 52413663 hold
    // (7 -> 1 at place 3 takes 6 off the sum, 0 -> 6 at place 5 adds 6);
    // their chances are 0.6 * 0.7 and 0.4 * 0.3.
    choices[3][7] = 0.6f;
    choices[3][1] = 0.4f;
    choices[5] = {};
    choices[5][0] = 0.7f;
    choices[5][6] = 0.3f;
    ASSERT_TRUE(CheckDigitHolds("52413663"));
    ASSERT_FALSE(CheckDigitHolds("52413063"));
    EXPECT_NEAR(CheckDigitPosterior("52473063", choices), 0.42 / (0.42 + 0.12), 1e-6);
    EXPECT_NEAR(CheckDigitPosterior("52413663", choices), 0.12 / (0.42 + 0.12), 1e-6);
    // Rows are taken relative to their sums.
    for (auto& row : choices) {
        for (float& c : row) c *= 0.5f;
    }
    EXPECT_NEAR(CheckDigitPosterior("52473063", choices), 0.42 / (0.42 + 0.12), 1e-6);
}

TEST(CheckDigitPosterior, EqualsTheSumOverEveryNumberThatHolds) {
    // Four doubtful places with random chances, the rest sure: every
    // number the choices allow, counted one by one.
    std::mt19937 random(4);
    std::uniform_real_distribution<float> chance(0.0f, 1.0f);
    const std::string base = "52473063";
    for (int trial = 0; trial < 5; ++trial) {
        std::vector<std::array<float, 10>> choices = SureOf(base);
        const std::vector<std::size_t> doubtful = {static_cast<std::size_t>(trial), 5, 6, 7};
        for (const std::size_t place : doubtful) {
            for (float& c : choices[place]) c = chance(random);
        }
        double valid = 0.0;
        std::string best;
        double bestChance = -1.0;
        for (int pick = 0; pick < 10000; ++pick) {
            std::string number = base;
            double p = 1.0;
            int rest = pick;
            for (const std::size_t place : doubtful) {
                const int d = rest % 10;
                rest /= 10;
                number[place] = static_cast<char>('0' + d);
                double sum = 0.0;
                for (float c : choices[place]) sum += c;
                p *= choices[place][static_cast<std::size_t>(d)] / sum;
            }
            if (!CheckDigitHolds(number)) continue;
            valid += p;
            if (p > bestChance) {
                bestChance = p;
                best = number;
            }
        }
        EXPECT_NEAR(CheckDigitPosterior(best, choices), bestChance / valid, 1e-5) << "trial " << trial;
    }
}

TEST(CheckDigitPosterior, NothingForANumberThatFailsOrChoicesThatDoNotFit) {
    const std::vector<std::array<float, 10>> sure = SureOf("52473063");
    EXPECT_NEAR(CheckDigitPosterior("52473063", sure), 1.0, 1e-9);
    EXPECT_EQ(CheckDigitPosterior("52473068", SureOf("52473068")), 0.0);
    EXPECT_EQ(CheckDigitPosterior("52473063", std::vector<std::array<float, 10>>(7)), 0.0);
    std::vector<std::array<float, 10>> empty = sure;
    empty[2] = {};
    EXPECT_EQ(CheckDigitPosterior("52473063", empty), 0.0);
    // A number the choices rule out has no chance.
    EXPECT_EQ(CheckDigitPosterior("12345674", sure), 0.0);
}

}  // namespace
}  // namespace kalvero
