// Time of the learned engine on whole camera frames with no setting at all:
// no zone and no digit height, every height from 10 to 250 pixels searched,
// on one thread. The frames are varied generated scenes (paint, light,
// camera), one carriage in view.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "line_reader/FrameGroupReader.h"
#include "line_reader/HeightPyramid.h"
#include "line_reader/ReadLines.h"
#include "tools/VariedScene.h"

namespace {

// Frame `index` (of 9) of a varied scene of `size` with digits `digitHeight`
// high (or, with a negative kind, what the carriage carries instead).
cv::Mat SceneFrame(cv::Size size, int digitHeight,
                   kalvero::SceneNegative negative = kalvero::SceneNegative::None, int index = 4) {
    kalvero::SampleOptions sample;
    sample.size = size;
    sample.digitHeight = digitHeight;
    sample.frames = 9;
    sample.seed = 7;
    kalvero::SceneOptions options;
    options.font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    options.varied = true;
    options.negative = negative;
    kalvero::VariedScene scene;
    const std::string problem = scene.Build(sample, options);
    if (!problem.empty()) throw std::runtime_error(problem);
    return scene.Frame(index);
}

const cv::Mat& Frame1080() {
    static const cv::Mat frame = SceneFrame(cv::Size(1920, 1080), 48);
    return frame;
}
const cv::Mat& Frame2160() {
    static const cv::Mat frame = SceneFrame(cv::Size(3840, 2160), 96);
    return frame;
}

// A carriage with no number: most frames of a stream read nothing, and a
// frame that reads nothing is searched once more (blended fields).
const cv::Mat& BlankFrame1080() {
    static const cv::Mat frame = SceneFrame(cv::Size(1920, 1080), 48, kalvero::SceneNegative::Blank);
    return frame;
}

class OneThread {
public:
    OneThread() : threads_(cv::getNumThreads()) { cv::setNumThreads(1); }
    ~OneThread() { cv::setNumThreads(threads_); }
    OneThread(const OneThread&) = delete;
    OneThread& operator=(const OneThread&) = delete;

private:
    int threads_;
};

void RunWholeFrame(benchmark::State& state, const cv::Mat& frame) {
    std::string error;
    const std::unique_ptr<kalvero::LineReader> reader = kalvero::LineReader::Create(error);
    if (!reader) throw std::runtime_error(error);
    const OneThread oneThread;
    kalvero::LineReaderSettings settings;  // no hint
    int readings = 0;
    for (auto _ : state) {
        readings = static_cast<int>(kalvero::ReadLines(frame, settings, *reader).size());
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;
}

void BM_ReadLinesWholeFrame_1920x1080(benchmark::State& state) { RunWholeFrame(state, Frame1080()); }
BENCHMARK(BM_ReadLinesWholeFrame_1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ReadLinesWholeFrame_3840x2160(benchmark::State& state) { RunWholeFrame(state, Frame2160()); }
BENCHMARK(BM_ReadLinesWholeFrame_3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ReadLinesWholeFrame_1920x1080_NoNumber(benchmark::State& state) { RunWholeFrame(state, BlankFrame1080()); }
BENCHMARK(BM_ReadLinesWholeFrame_1920x1080_NoNumber)->Unit(benchmark::kMillisecond)->UseRealTime();

// A file's frames as the reader reads them without a height: in groups
// of three (FrameGroupReader), the third searched whole while the first is
// read, the first two in strips around what it and the search before them
// found. One iteration reads three consecutive frames of the pass: the time
// per frame is a third of the time shown.
void RunFrameGroup(benchmark::State& state, const std::vector<cv::Mat>& frames) {
    std::string error;
    const std::unique_ptr<kalvero::LineReader> reader = kalvero::LineReader::Create(error);
    if (!reader) throw std::runtime_error(error);
    const OneThread oneThread;
    kalvero::FrameGroupReader groups(*reader, kalvero::LineReaderSettings{}, 3);
    long long index = 0;
    int readings = 0;
    double frameMs = 0.0;
    for (auto _ : state) {
        readings = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            // The frames ahead within this iteration's group of three.
            const std::size_t end = std::min(frames.size(), (i / 3 + 1) * 3);
            const std::vector<cv::Mat> ahead(frames.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                             frames.begin() + static_cast<std::ptrdiff_t>(std::max(end, i + 1)));
            readings += static_cast<int>(groups.Read(frames[i], index++, ahead, frameMs).size());
        }
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;  // of the frames of one iteration
}
std::vector<cv::Mat> PassFrames(cv::Size size, int digitHeight) {
    std::vector<cv::Mat> frames;
    for (int index = 3; index < 6; ++index) {
        frames.push_back(SceneFrame(size, digitHeight, kalvero::SceneNegative::None, index));
    }
    return frames;
}
void BM_ReadFrameGroup_1920x1080(benchmark::State& state) { RunFrameGroup(state, PassFrames(cv::Size(1920, 1080), 48)); }
BENCHMARK(BM_ReadFrameGroup_1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ReadFrameGroup_3840x2160(benchmark::State& state) { RunFrameGroup(state, PassFrames(cv::Size(3840, 2160), 96)); }
BENCHMARK(BM_ReadFrameGroup_3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

// Twelve frames of a carriage with no number, read in groups: four whole
// searches that read nothing, one of them followed by the faint search
// over every height (FrameGroupReader::kFaintEvery). The time per frame is
// a twelfth of the time shown.
void BM_ReadFrameGroup_1920x1080_NoNumber(benchmark::State& state) {
    std::vector<cv::Mat> frames;
    for (int index = 0; index < 9; ++index) {
        frames.push_back(SceneFrame(cv::Size(1920, 1080), 48, kalvero::SceneNegative::Blank, index));
    }
    for (int index = 0; index < 3; ++index) frames.push_back(frames[static_cast<std::size_t>(index)]);
    RunFrameGroup(state, frames);
}
BENCHMARK(BM_ReadFrameGroup_1920x1080_NoNumber)->Unit(benchmark::kMillisecond)->UseRealTime();

// The faint search over every height on its own, on a 1080p frame with no
// number: what one in four whole searches that read nothing adds.
void BM_ReadFaintLines_1920x1080_NoNumber(benchmark::State& state) {
    std::string error;
    const std::unique_ptr<kalvero::LineReader> reader = kalvero::LineReader::Create(error);
    if (!reader) throw std::runtime_error(error);
    const OneThread oneThread;
    int readings = 0;
    for (auto _ : state) {
        readings = static_cast<int>(kalvero::ReadFaintLineReadings(BlankFrame1080(), kalvero::LineReaderSettings{}, *reader).size());
        benchmark::DoNotOptimize(readings);
    }
    state.counters["readings"] = readings;
}
BENCHMARK(BM_ReadFaintLines_1920x1080_NoNumber)->Unit(benchmark::kMillisecond)->UseRealTime();

// The proposals alone, over every height.
void RunProposalsOverHeights(benchmark::State& state, const cv::Mat& frame) {
    const OneThread oneThread;
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = kalvero::ProposeLinesOverHeights(grey, kalvero::DigitHeightRange{}, 6).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = static_cast<double>(lines);
}
void BM_ProposeLinesOverHeights_1920x1080(benchmark::State& state) { RunProposalsOverHeights(state, Frame1080()); }
BENCHMARK(BM_ProposeLinesOverHeights_1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ProposeLinesOverHeights_3840x2160(benchmark::State& state) { RunProposalsOverHeights(state, Frame2160()); }
BENCHMARK(BM_ProposeLinesOverHeights_3840x2160)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
