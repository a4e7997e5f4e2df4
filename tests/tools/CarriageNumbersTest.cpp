#include <set>

#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include "tools/CarriageNumbers.h"

namespace kalvero {
namespace {

TEST(CarriageNumbers, RandomNumbersAreValidAndRichInOnes) {
    cv::RNG rng(7);
    int firstOne = 0;
    int lastOne = 0;
    int innerOnes = 0;
    std::set<std::string> distinct;
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        const std::string number = RandomCarriageNumber(rng);
        ASSERT_TRUE(CheckDigitHolds(number)) << number;
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
