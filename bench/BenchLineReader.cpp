// Time of one ReadLines call (the learned engine) on the zones of
// BenchRecognizeFrame.cpp, and of its stages.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "BenchZones.h"
#include "line_reader/GlyphRegionLines.h"
#include "line_reader/LineProposals.h"
#include "line_reader/ReadLines.h"
#include "detection/GlyphRegionBoxes.h"

namespace {

std::unique_ptr<kalvero::LineReader> MakeReader() {
    std::string error;
    std::unique_ptr<kalvero::LineReader> reader = kalvero::LineReader::Create(error);
    if (!reader) throw std::runtime_error(error);
    return reader;
}

void RunReadLines(benchmark::State& state, const cv::Mat& zone, bool glyphRegions) {
    const std::unique_ptr<kalvero::LineReader> reader = MakeReader();
    kalvero::LineReaderSettings settings;
    settings.digitHeight = kalvero::bench::kDigitHeight;
    settings.useGlyphRegions = glyphRegions;
    settings.glyphRegions = kalvero::GlyphRegionBoxes;
    int readings = 0;
    for (auto _ : state) {
        readings = static_cast<int>(kalvero::ReadLines(zone, settings, *reader).size());
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;
}

// The same on one thread: OpenCV's own parallel loops (blur, components,
// the network's layers) are held to the calling thread for the run and
// given back their thread count after it.
void RunReadLinesOneThread(benchmark::State& state, const cv::Mat& zone, bool glyphRegions) {
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    RunReadLines(state, zone, glyphRegions);
    cv::setNumThreads(threads);
}

// Stages: the blob proposals alone, the glyph regions alone, and one
// forward pass of a single crop.
void RunProposals(benchmark::State& state, const cv::Mat& zone) {
    cv::Mat grey;
    cv::cvtColor(zone, grey, cv::COLOR_BGR2GRAY);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = kalvero::ProposeLines(grey, kalvero::bench::kDigitHeight, 6).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = static_cast<double>(lines);
}

void RunGlyphRegions(benchmark::State& state, const cv::Mat& zone) {
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = kalvero::ProposeGlyphRegionLines(zone, kalvero::bench::kDigitHeight, kalvero::GlyphRegionBoxes).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = static_cast<double>(lines);
}

// Registers `run` on the large and the small zone as NAME_640x360 and
// NAME_390x90, in milliseconds of wall and process time.
template <class Run, class... Extra>
void RegisterOnZones(const std::string& name, Run run, Extra... extra) {
    const std::pair<const char*, const cv::Mat& (*)()> zones[] = {{"_640x360", kalvero::bench::LargeZone},
                                                                   {"_390x90", kalvero::bench::SmallZone}};
    for (const auto& [suffix, zone] : zones) {
        benchmark::RegisterBenchmark((name + suffix).c_str(),
                                     [=](benchmark::State& state) { run(state, zone(), extra...); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
    }
}

// The default (line proposals from digit blobs only), then with the glyph
// search's regions as extra proposals, each also on one thread; then the
// stages alone.
[[maybe_unused]] const bool kZoneBenchmarks = [] {
    RegisterOnZones("BM_ReadLines", RunReadLines, false);
    RegisterOnZones("BM_ReadLinesGlyphRegions", RunReadLines, true);
    RegisterOnZones("BM_ReadLinesOneThread", RunReadLinesOneThread, false);
    RegisterOnZones("BM_ReadLinesGlyphRegionsOneThread", RunReadLinesOneThread, true);
    RegisterOnZones("BM_ProposeLines", RunProposals);
    RegisterOnZones("BM_GlyphRegionLines", RunGlyphRegions);
    return true;
}();

void BM_LineModelForward(benchmark::State& state) {
    const std::unique_ptr<kalvero::LineReader> reader = MakeReader();
    std::vector<cv::Mat> crops(static_cast<std::size_t>(state.range(0)),
                               cv::Mat(kalvero::kLineInputHeight, kalvero::kLineInputWidth, CV_8UC1, cv::Scalar(100)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader->Run(crops));
    }
}
BENCHMARK(BM_LineModelForward)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
