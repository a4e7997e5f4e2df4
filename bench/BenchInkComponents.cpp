// Labelling the ink mask of a whole 1080p camera frame: over its runs
// against OpenCV's labelling of every pixel.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"
#include "line_reader/InkComponents.h"

namespace {

using kalvero::bench::InkMask;

void BM_LabelInkComponents_960x540(benchmark::State& state) {
    std::size_t count = 0;
    for (auto _ : state) {
        count = kalvero::LabelInkComponents(InkMask()).components.size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["components"] = static_cast<double>(count);
    state.counters["ink_percent"] = 100.0 * cv::countNonZero(InkMask()) / InkMask().total();
}
BENCHMARK(BM_LabelInkComponents_960x540)->Unit(benchmark::kMicrosecond);

void BM_LabelInkComponentsReference_960x540(benchmark::State& state) {
    std::size_t count = 0;
    for (auto _ : state) {
        count = kalvero::LabelInkComponentsReference(InkMask()).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["components"] = static_cast<double>(count);
}
BENCHMARK(BM_LabelInkComponentsReference_960x540)->Unit(benchmark::kMicrosecond);

}  // namespace
