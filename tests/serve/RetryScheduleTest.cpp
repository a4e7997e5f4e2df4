#include "serve/RetrySchedule.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct WaitCase {
    int failedTries;
    milliseconds wait;
};

class DefaultRetryWaits : public ::testing::TestWithParam<WaitCase> {};

TEST_P(DefaultRetryWaits, DoubleFromFiveSecondsUpToAnHour) {
    EXPECT_EQ(RetrySchedule().WaitAfter(GetParam().failedTries).count(), GetParam().wait.count());
}

INSTANTIATE_TEST_SUITE_P(Tries, DefaultRetryWaits,
                         ::testing::Values(WaitCase{1, seconds(5)}, WaitCase{2, seconds(10)}, WaitCase{3, seconds(20)},
                                           WaitCase{10, seconds(2560)}, WaitCase{11, seconds(3600)},
                                           // A delivery retried for weeks neither overflows nor waits longer.
                                           WaitCase{5000, seconds(3600)}, WaitCase{2147483647, seconds(3600)},
                                           // A count the outbox never holds still gives a wait.
                                           WaitCase{0, seconds(5)}, WaitCase{-3, seconds(5)}),
                         [](const ::testing::TestParamInfo<WaitCase>& info) {
                             const int tries = info.param.failedTries;
                             return (tries < 0 ? "Minus" + std::to_string(-tries) : std::to_string(tries)) + "Failed";
                         });

TEST(RetrySchedule, ShortWaitsForTestsKeepTheirBoundsAndNeverReachZero) {
    const RetrySchedule quick(milliseconds(20), milliseconds(50));
    EXPECT_EQ(quick.WaitAfter(1), milliseconds(20));
    EXPECT_EQ(quick.WaitAfter(2), milliseconds(40));
    EXPECT_EQ(quick.WaitAfter(3), milliseconds(50));
    // A zero first wait would make the sender spin on the outbox.
    EXPECT_GT(RetrySchedule(milliseconds(0), milliseconds(0)).WaitAfter(1), milliseconds(0));
    // A longest wait under the first is raised to it rather than shortening it.
    EXPECT_EQ(RetrySchedule(seconds(5), seconds(1)).WaitAfter(4), seconds(5));
}

}  // namespace
}  // namespace kalvero
