#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kalvero
