// The deviation floor of the ink threshold on a 1080p frame's halving
// shrunk by 2 (480 x 270, the search for digits 8 pixels high there), in
// one pass against OpenCV's box filters and arithmetic.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"
#include "line_reader/CellMeans.h"
#include "line_reader/LocalDeviation.h"

namespace {

using kalvero::bench::HalfFrame;

// The window there for digits 8 pixels high (13 / 2 | 1), and the floor.
constexpr int kSide = 7;
constexpr float kShare = 0.5f;

const cv::Mat& Shrunk() {
    static const cv::Mat shrunk = kalvero::CellMeansReference(HalfFrame(), 2);
    return shrunk;
}

void BM_LocalDeviationFloor_480x270(benchmark::State& state) {
    for (auto _ : state) {
        cv::Mat floor = kalvero::LocalDeviationFloor(Shrunk(), kSide, kShare, kalvero::kAveragedInkContrast);
        benchmark::DoNotOptimize(floor.data);
    }
}
BENCHMARK(BM_LocalDeviationFloor_480x270)->Unit(benchmark::kMicrosecond);

void BM_LocalDeviationFloorReference_480x270(benchmark::State& state) {
    for (auto _ : state) {
        cv::Mat floor = kalvero::LocalDeviationFloorReference(Shrunk(), kSide, kShare, kalvero::kAveragedInkContrast);
        benchmark::DoNotOptimize(floor.data);
    }
}
BENCHMARK(BM_LocalDeviationFloorReference_480x270)->Unit(benchmark::kMicrosecond);

}  // namespace
