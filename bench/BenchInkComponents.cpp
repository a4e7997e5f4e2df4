// Labelling the ink mask of a whole 1080p camera frame: over its runs
// against OpenCV's labelling of every pixel.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include <opencv2/imgproc.hpp>

#include "line_reader/DigitBlobs.h"
#include "line_reader/InkComponents.h"
#include "tools/VariedScene.h"

namespace {

// The dark-ink mask FindDigitBlobs labels, at the size the smallest digits
// are looked for in a 1080p frame.
const cv::Mat& InkMask() {
    static const cv::Mat mask = [] {
        kalvero::SampleOptions sample;
        sample.size = cv::Size(1920, 1080);
        sample.digitHeight = 48;
        sample.frames = 9;
        sample.seed = 7;
        kalvero::SceneOptions options;
        options.font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
        options.varied = true;
        kalvero::VariedScene scene;
        if (!scene.Build(sample, options).empty()) throw std::runtime_error("scene");
        cv::Mat grey, half;
        cv::cvtColor(scene.Frame(4), grey, cv::COLOR_BGR2GRAY);
        cv::pyrDown(grey, half);
        const kalvero::InkImages images = kalvero::PrepareInkImages(half, 8);
        cv::Mat difference, ink;
        cv::subtract(images.mean, images.smooth, difference);
        cv::compare(difference, images.threshold, ink, cv::CMP_GT);
        return ink;
    }();
    return mask;
}

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
