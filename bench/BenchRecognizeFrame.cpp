// Time of one RecognizeFrame call on synthetic zones holding one number.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "detection/RecognizeFrame.h"
#include "tools/NumberPainter.h"

namespace {

constexpr int kDigitHeight = 29;

cv::Mat NumberZone(cv::Size size, cv::Point origin) {
    kalvero::PanelSpec spec;
    spec.number = "52473068";
    spec.digitHeight = kDigitHeight;
    spec.gapFraction = 0.25;
    spec.lightDigits = true;
    spec.noiseSigma = 3.0;
    return kalvero::MakeNumberPanel(size, origin, spec);
}

void RunRecognizeFrame(benchmark::State& state, const cv::Mat& zone) {
    kalvero::RecognitionSettings settings;
    settings.digitHeight = kDigitHeight;
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
    const cv::Mat zone = NumberZone(cv::Size(640, 360), cv::Point(230, 160));
    RunRecognizeFrame(state, zone);
}
BENCHMARK(BM_RecognizeFrame_640x360)->Unit(benchmark::kMillisecond);

void BM_RecognizeFrame_390x90(benchmark::State& state) {
    const cv::Mat zone = NumberZone(cv::Size(390, 90), cv::Point(105, 29));
    RunRecognizeFrame(state, zone);
}
BENCHMARK(BM_RecognizeFrame_390x90)->Unit(benchmark::kMillisecond);

}  // namespace
