#pragma once
#include <chrono>

namespace kalvero {

// How long a webhook delivery waits after a failed try: the first wait,
// doubled after each further failure, never longer than the longest wait.
class RetrySchedule {
public:
    // 5 s, 10 s, 20 s, ... at most an hour apart.
    RetrySchedule();
    RetrySchedule(std::chrono::milliseconds firstWait, std::chrono::milliseconds longestWait);

    // The wait after the `failedTries`-th failed try (1 for the first).
    std::chrono::milliseconds WaitAfter(int failedTries) const;

    std::chrono::milliseconds FirstWait() const { return firstWait_; }

private:
    std::chrono::milliseconds firstWait_;
    std::chrono::milliseconds longestWait_;
};

}  // namespace kalvero
