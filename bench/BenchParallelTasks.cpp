// Cost of handing work to RunTasks: what a recognition call pays per use
// (ScanModes twice, CandidateDetector once per frame) on top of the work.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>

#include "recognition_common/ParallelTasks.h"

namespace {

// Tasks that do almost nothing: the time is the start-up and hand-out.
void BM_RunTasks_Empty(benchmark::State& state) {
    const int tasks = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    std::atomic<int> done{0};
    for (auto _ : state) {
        kalvero::RunTasks(tasks, threads, [&](int) { done.fetch_add(1, std::memory_order_relaxed); });
    }
    benchmark::DoNotOptimize(done.load());
}
// 4 tasks (the modes), 36 (the template searches of four modes), 2 threads.
BENCHMARK(BM_RunTasks_Empty)->Args({4, 2})->Args({36, 2})->Unit(benchmark::kMicrosecond)->UseRealTime();

// Tasks of about 50 microseconds each, the size of one template search on a
// small zone: the time is the work spread over the threads plus the cost.
void BM_RunTasks_Work(benchmark::State& state) {
    const int tasks = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    for (auto _ : state) {
        kalvero::RunTasks(tasks, threads, [](int i) {
            double x = i;
            for (int k = 0; k < 20000; ++k) {
                x = std::sqrt(x + k);
            }
            benchmark::DoNotOptimize(x);
        });
    }
}
BENCHMARK(BM_RunTasks_Work)->Args({18, 1})->Args({18, 2})->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
