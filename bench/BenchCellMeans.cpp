// Cells of 3 (the second search of a halving: a window of 25 pixels shrunk
// to about 8 a side) over a 1080p frame's halving, summed directly against
// OpenCV's area resize.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"
#include "line_reader/CellMeans.h"

namespace {

using kalvero::bench::HalfFrame;

constexpr int kCells = 3;

void BM_CellMeans_960x540(benchmark::State& state) {
    const cv::Mat half = HalfFrame();
    for (auto _ : state) {
        cv::Mat small = kalvero::CellMeans(half, kCells);
        benchmark::DoNotOptimize(small.data);
    }
}
BENCHMARK(BM_CellMeans_960x540)->Unit(benchmark::kMicrosecond);

void BM_CellMeansReference_960x540(benchmark::State& state) {
    const cv::Mat half = HalfFrame();
    for (auto _ : state) {
        cv::Mat small = kalvero::CellMeansReference(half, kCells);
        benchmark::DoNotOptimize(small.data);
    }
}
BENCHMARK(BM_CellMeansReference_960x540)->Unit(benchmark::kMicrosecond);

}  // namespace
