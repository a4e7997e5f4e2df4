#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "detection/ParallelTasks.h"

namespace kalvero {
namespace {

TEST(RunTasks, RunsEveryTaskOnceWhateverTheThreadCount) {
    for (int threads : {1, 2, 3, 16}) {
        std::vector<std::atomic<int>> runs(37);
        RunTasks(37, threads, [&](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
        for (const std::atomic<int>& r : runs) {
            EXPECT_EQ(r.load(), 1) << threads << " threads";
        }
    }
    RunTasks(0, 4, [](int) { FAIL() << "no task to run"; });
}

TEST(RunTasks, UsesMoreThanOneThreadWhenAllowed) {
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

TEST(RunTasks, RethrowsTheFirstFailureAfterEveryThreadStopped) {
    for (int threads : {1, 2, 4}) {
        std::vector<std::atomic<int>> runs(50);
        EXPECT_THROW(RunTasks(50, threads,
                              [&](int i) {
                                  runs[static_cast<std::size_t>(i)].fetch_add(1);
                                  if (i == 3) {
                                      throw std::runtime_error("task 3 failed");
                                  }
                              }),
                     std::runtime_error);
        // RunTasks returned, so no task is still running; none ran twice.
        for (const std::atomic<int>& r : runs) {
            EXPECT_LE(r.load(), 1) << threads << " threads";
        }
        if (threads == 1) {
            // On one thread the failure stops the run at once.
            EXPECT_EQ(runs[4].load(), 0);
        }
    }
}

TEST(EffectiveThreadCount, ZeroMeansOnePerHardwareThread) {
    EXPECT_EQ(EffectiveThreadCount(3), 3);
    EXPECT_GE(EffectiveThreadCount(0), 1);
    EXPECT_EQ(EffectiveThreadCount(-2), EffectiveThreadCount(0));
}

}  // namespace
}  // namespace kalvero
