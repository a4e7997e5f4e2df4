#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include <opencv2/core/utility.hpp>

#include "recognition_common/ParallelTasks.h"

namespace kalvero {
namespace {

// Counts the tasks in flight and remembers the most seen at once.
class ConcurrencyMeter {
public:
    void Enter() {
        const int now = inFlight_.fetch_add(1) + 1;
        int seen = most_.load();
        while (now > seen && !most_.compare_exchange_weak(seen, now)) {
        }
    }
    void Leave() { inFlight_.fetch_sub(1); }
    int Most() const { return most_.load(); }

private:
    std::atomic<int> inFlight_{0};
    std::atomic<int> most_{0};
};

// Keeps OpenCV's thread count for one test and puts the old one back.
class OpenCvThreads {
public:
    explicit OpenCvThreads(int threads) : saved_(cv::getNumThreads()) { cv::setNumThreads(threads); }
    ~OpenCvThreads() { cv::setNumThreads(saved_); }
    OpenCvThreads(const OpenCvThreads&) = delete;
    OpenCvThreads& operator=(const OpenCvThreads&) = delete;

private:
    int saved_;
};

// Long enough for the other threads to pick up tasks of their own.
void HoldForAMoment() { std::this_thread::sleep_for(std::chrono::microseconds(300)); }

class RunTasksAtThreads : public ::testing::TestWithParam<int> {};

TEST_P(RunTasksAtThreads, RunsEveryTaskOnce) {
    std::vector<std::atomic<int>> runs(37);
    RunTasks(37, GetParam(), [&](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
    for (const std::atomic<int>& r : runs) {
        EXPECT_EQ(r.load(), 1);
    }
    RunTasks(0, GetParam(), [](int) { FAIL() << "no task to run"; });
}

TEST_P(RunTasksAtThreads, NeverRunsMoreTasksAtOnceThanAllowed) {
    ConcurrencyMeter meter;
    RunTasks(24, GetParam(), [&](int) {
        meter.Enter();
        HoldForAMoment();
        meter.Leave();
    });
    EXPECT_GE(meter.Most(), 1);
    EXPECT_LE(meter.Most(), GetParam());
}

TEST_P(RunTasksAtThreads, RethrowsTheFirstFailureAfterEveryTaskStopped) {
    const int threads = GetParam();
    std::vector<std::atomic<int>> runs(50);
    std::atomic<int> running{0};
    EXPECT_THROW(RunTasks(50, threads,
                          [&](int i) {
                              running.fetch_add(1);
                              runs[static_cast<std::size_t>(i)].fetch_add(1);
                              HoldForAMoment();
                              running.fetch_sub(1);
                              if (i == 3) {
                                  throw std::runtime_error("task 3 failed");
                              }
                          }),
                 std::runtime_error);
    // RunTasks returned, so no task is still running; none ran twice.
    EXPECT_EQ(running.load(), 0);
    for (const std::atomic<int>& r : runs) {
        EXPECT_LE(r.load(), 1);
    }
    // Tasks not yet started when task 3 failed are skipped: with at most
    // `threads` in flight, few more than that can have begun after it.
    int started = 0;
    for (const std::atomic<int>& r : runs) {
        started += r.load();
    }
    EXPECT_LT(started, 50);
    if (threads == 1) {
        // On one thread the failure stops the run at once.
        EXPECT_EQ(runs[4].load(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(ThreadCounts, RunTasksAtThreads, ::testing::Values(1, 2, 3, 16));

TEST(RunTasks, UsesMoreThanOneThreadWhenAllowed) {
    const OpenCvThreads openCv(2);
    // Two tasks that each wait for the other can only finish side by side.
    std::atomic<int> arrived{0};
    RunTasks(2, 2, [&](int) {
        arrived.fetch_add(1);
        while (arrived.load() < 2) {
            std::this_thread::yield();
        }
    });
    EXPECT_EQ(arrived.load(), 2);
}

TEST(RunTasks, StaysOnTheCallingThreadWhenOpenCvIsLimitedToOne) {
    // kalvero-read limits OpenCV to one thread when it reads inputs side by
    // side; the recognition calls of each input must then not add threads.
    const OpenCvThreads openCv(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    RunTasks(20, 4, [&](int) {
        if (std::this_thread::get_id() != caller) {
            elsewhere.fetch_add(1);
        }
    });
    EXPECT_EQ(elsewhere.load(), 0);
}

TEST(RunTasks, CallsFromSeveralThreadsAtOnceEachRunTheirOwnTasks) {
    // As kalvero-read --jobs 2 does: two callers, each splitting its work.
    constexpr int kCallers = 3;
    constexpr int kRounds = 20;
    constexpr int kTasks = 12;
    std::vector<std::vector<std::atomic<int>>> runs(kCallers);
    std::vector<int> mostAtOnce(kCallers, 0);
    for (auto& callerRuns : runs) {
        callerRuns = std::vector<std::atomic<int>>(kTasks);
    }
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int round = 0; round < kRounds; ++round) {
                ConcurrencyMeter meter;
                RunTasks(kTasks, 2, [&](int i) {
                    meter.Enter();
                    runs[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)].fetch_add(1);
                    std::this_thread::yield();
                    meter.Leave();
                });
                mostAtOnce[static_cast<std::size_t>(c)] =
                    std::max(mostAtOnce[static_cast<std::size_t>(c)], meter.Most());
            }
        });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    for (int c = 0; c < kCallers; ++c) {
        for (const std::atomic<int>& r : runs[static_cast<std::size_t>(c)]) {
            EXPECT_EQ(r.load(), kRounds) << "caller " << c;
        }
        EXPECT_LE(mostAtOnce[static_cast<std::size_t>(c)], 2) << "caller " << c;
    }
}

TEST(RunTasks, ATaskMayRunTasksOfItsOwn) {
    std::vector<std::atomic<int>> runs(6 * 5);
    RunTasks(6, 2, [&](int outer) {
        RunTasks(5, 2, [&](int inner) {
            runs[static_cast<std::size_t>(outer * 5 + inner)].fetch_add(1);
        });
    });
    for (const std::atomic<int>& r : runs) {
        EXPECT_EQ(r.load(), 1);
    }
}

TEST(RunTasks, KeepsTheTypeOfTheFailureAcrossThreads) {
    struct TaskFailure {
        int task;
    };
    try {
        RunTasks(8, 4, [](int i) {
            if (i == 5) {
                throw TaskFailure{i};
            }
        });
        FAIL() << "the failure of task 5 was lost";
    } catch (const TaskFailure& failure) {
        EXPECT_EQ(failure.task, 5);
    }
}

TEST(EffectiveThreadCount, ZeroMeansOnePerHardwareThread) {
    EXPECT_EQ(EffectiveThreadCount(3), 3);
    EXPECT_GE(EffectiveThreadCount(0), 1);
    EXPECT_EQ(EffectiveThreadCount(-2), EffectiveThreadCount(0));
}

}  // namespace
}  // namespace kalvero
