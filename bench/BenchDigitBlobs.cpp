// The ink images of a whole 1080p frame at half size, where the smallest
// digits are looked for: the ink threshold from integer window sums
// against the one measured pixel by pixel, and all three images.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"

namespace {

using kalvero::bench::HalfFrame;

// The window and shrink PrepareInkImages takes for digits 8 pixels high.
constexpr int kWindow = 13;
constexpr int kShrink = 2;

void BM_InkThreshold_960x540(benchmark::State& state) {
    const cv::Mat smooth = kalvero::SmoothForInk(HalfFrame(), 8);
    for (auto _ : state) {
        cv::Mat threshold = kalvero::InkThreshold(smooth, kWindow, kShrink, kalvero::kAveragedInkContrast);
        benchmark::DoNotOptimize(threshold.data);
    }
}
BENCHMARK(BM_InkThreshold_960x540)->Unit(benchmark::kMicrosecond);

void BM_InkThresholdReference_960x540(benchmark::State& state) {
    const cv::Mat smooth = kalvero::SmoothForInk(HalfFrame(), 8);
    for (auto _ : state) {
        cv::Mat threshold = kalvero::InkThresholdReference(smooth, kWindow, kShrink, kalvero::kAveragedInkContrast);
        benchmark::DoNotOptimize(threshold.data);
    }
}
BENCHMARK(BM_InkThresholdReference_960x540)->Unit(benchmark::kMicrosecond);

void BM_PrepareInkImages_960x540(benchmark::State& state) {
    for (auto _ : state) {
        const kalvero::InkImages images = kalvero::PrepareInkImages(HalfFrame(), 8, kalvero::kAveragedInkContrast);
        benchmark::DoNotOptimize(images.threshold.data);
    }
}
BENCHMARK(BM_PrepareInkImages_960x540)->Unit(benchmark::kMicrosecond);

}  // namespace
