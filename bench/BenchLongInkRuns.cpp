// Clearing the long runs of a whole 1080p frame's ink mask (half size,
// the smallest digits' search): one pass down the mask against measuring
// each pixel's runs on its own.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"
#include "line_reader/LongInkRuns.h"

namespace {

using kalvero::bench::InkMask;

// The lengths FindDigitBlobs clears for digits 8 pixels high.
constexpr int kAcross = 16;
constexpr int kDown = 12;

void BM_ClearLongInkRuns_960x540(benchmark::State& state) {
    cv::Mat ink;
    for (auto _ : state) {
        InkMask().copyTo(ink);
        kalvero::ClearLongInkRuns(ink, kAcross, kDown);
        benchmark::DoNotOptimize(ink.data);
    }
    state.counters["ink_percent"] = 100.0 * cv::countNonZero(InkMask()) / InkMask().total();
}
BENCHMARK(BM_ClearLongInkRuns_960x540)->Unit(benchmark::kMicrosecond);

void BM_ClearLongInkRunsReference_960x540(benchmark::State& state) {
    cv::Mat ink;
    for (auto _ : state) {
        InkMask().copyTo(ink);
        kalvero::ClearLongInkRunsReference(ink, kAcross, kDown);
        benchmark::DoNotOptimize(ink.data);
    }
}
BENCHMARK(BM_ClearLongInkRunsReference_960x540)->Unit(benchmark::kMicrosecond);

}  // namespace
