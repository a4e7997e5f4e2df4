// Time of one RecognizeFrame call on synthetic zones holding one number.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "BenchZones.h"
#include "detection/DetectFrame.h"

namespace {

void RunRecognizeFrame(benchmark::State& state, const cv::Mat& zone,
                       kalvero::CorrelationPath path = kalvero::CorrelationPath::Fast,
                       int threads = 0) {
    kalvero::RecognitionSettings settings;
    settings.digitHeight = kalvero::bench::kDigitHeight;
    settings.requireFullNumber = true;
    settings.threadCount = threads;
    int readings = 0;
    for (auto _ : state) {
        const kalvero::FrameResult result = kalvero::DetectFrame(zone, settings, path);
        readings = result.count();
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;
}

// The fast path with the automatic thread count (the default). The CPU
// column covers every thread of the process.
void BM_RecognizeFrame_640x360(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::LargeZone());
}
BENCHMARK(BM_RecognizeFrame_640x360)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_RecognizeFrame_390x90(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::SmallZone());
}
BENCHMARK(BM_RecognizeFrame_390x90)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The fast path on the calling thread alone.
void BM_RecognizeFrameOneThread_640x360(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::LargeZone(), kalvero::CorrelationPath::Fast, 1);
}
BENCHMARK(BM_RecognizeFrameOneThread_640x360)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_RecognizeFrameOneThread_390x90(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::SmallZone(), kalvero::CorrelationPath::Fast, 1);
}
BENCHMARK(BM_RecognizeFrameOneThread_390x90)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The reference path: every correlation map in full, one thread.
void BM_RecognizeFrameReference_640x360(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::LargeZone(), kalvero::CorrelationPath::Reference);
}
BENCHMARK(BM_RecognizeFrameReference_640x360)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_RecognizeFrameReference_390x90(benchmark::State& state) {
    RunRecognizeFrame(state, kalvero::bench::SmallZone(), kalvero::CorrelationPath::Reference);
}
BENCHMARK(BM_RecognizeFrameReference_390x90)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
