#include <set>

#include <gtest/gtest.h>

#include "tools/CarriageNumbers.h"

namespace kalvero {
namespace {

TEST(CarriageNumbers, CheckDigitFollowsTheWeightedDigitSum) {
    // 5*2=10 -> 1, 2, 4*2=8, 7, 3*2=6, 0, 6*2=12 -> 3: sum 27, check 3.
    EXPECT_EQ(CarriageCheckDigit("5247306"), 3);
    EXPECT_TRUE(CarriageNumberHolds("52473063"));
    EXPECT_FALSE(CarriageNumberHolds("52473064"));
    EXPECT_EQ(CarriageCheckDigit("0000000"), 0);
    EXPECT_EQ(CarriageCheckDigit("1000000"), 8);
    EXPECT_EQ(CarriageCheckDigit("524730"), -1);
    EXPECT_EQ(CarriageCheckDigit("52a7306"), -1);
    EXPECT_FALSE(CarriageNumberHolds("5247306"));
}

TEST(CarriageNumbers, RandomNumbersAreValidAndRichInOnes) {
    cv::RNG rng(7);
    int firstOne = 0;
    int lastOne = 0;
    int innerOnes = 0;
    std::set<std::string> distinct;
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        const std::string number = RandomCarriageNumber(rng);
        ASSERT_TRUE(CarriageNumberHolds(number)) << number;
        distinct.insert(number);
        firstOne += number.front() == '1';
        lastOne += number.back() == '1';
        for (int k = 1; k < 7; ++k) {
            innerOnes += number[k] == '1';
        }
    }
    EXPECT_GT(distinct.size(), n * 0.95);
    // Uniform digits would give a 1 a tenth of the time.
    EXPECT_GT(firstOne, n / 4);
    EXPECT_GT(lastOne, n / 4);
    EXPECT_GT(innerOnes, 6 * n / 4);
    const std::string group = RandomDigitGroup(rng, 6);
    EXPECT_EQ(group.size(), 6u);
}

}  // namespace
}  // namespace kalvero
