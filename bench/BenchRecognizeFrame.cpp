// Time of one RecognizeFrame call on synthetic zones holding one number.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "BenchZones.h"
#include "detection/RecognizeFrame.h"

namespace {

void RunRecognizeFrame(benchmark::State& state, const cv::Mat& zone) {
    kalvero::RecognitionSettings settings;
    settings.digitHeight = kalvero::bench::kDigitHeight;
    settings.requireFullNumber = true;
    int readings = 0;
    for (auto _ : state) {
        const kalvero::FrameResult result = kalvero::RecognizeFrame(zone, settings);
        readings = result.count();
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;
}

void BM_RecognizeFrame_640x360(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::LargeZone());
}
BENCHMARK(BM_RecognizeFrame_640x360)->Unit(benchmark::kMillisecond);

void BM_RecognizeFrame_390x90(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::SmallZone());
}
BENCHMARK(BM_RecognizeFrame_390x90)->Unit(benchmark::kMillisecond);

}  // namespace
