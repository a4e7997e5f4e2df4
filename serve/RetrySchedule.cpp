#include "serve/RetrySchedule.h"

#include <algorithm>

namespace kalvero {

RetrySchedule::RetrySchedule() : RetrySchedule(std::chrono::seconds(5), std::chrono::hours(1)) {}

RetrySchedule::RetrySchedule(std::chrono::milliseconds firstWait, std::chrono::milliseconds longestWait)
    : firstWait_(std::max(firstWait, std::chrono::milliseconds(1))),
      longestWait_(std::max(longestWait, firstWait_)) {}

std::chrono::milliseconds RetrySchedule::WaitAfter(int failedTries) const {
    std::chrono::milliseconds wait = firstWait_;
    // Doubling stops at the longest wait, so no count of tries overflows.
    for (int i = 1; i < failedTries && wait < longestWait_; ++i) wait *= 2;
    return std::min(wait, longestWait_);
}

}  // namespace kalvero
