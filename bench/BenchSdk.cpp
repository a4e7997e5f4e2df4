// The C interface against the reader's own path on the default sample's 60
// frames (kalvero-make-sample's, number 52473063):
//  - ReaderRunLoop: the run loop kalvero-read reads a file with
//    (VideoThread::Run with the reader's settings, no pictures wanted),
//    decoding included; ApiDecodeAndReadFrame: the same file decoded by
//    cv::VideoCapture and handed to kalvero_read_frame frame by frame.
//  - ZoneReaderPath: the loop's per-frame work alone on frames decoded
//    beforehand (the engine's zone reader and the vote);
//    ApiReadFrame: kalvero_read_frame on the same frames.
// The C interface should stay within 5 % of the reader's path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/videoio.hpp>

#include "kalvero/kalvero.h"
#include "line_reader/LineReader.h"
#include "tools/SampleVideo.h"
#include "worker/ResultVoteBuffer.h"
#include "worker/RunSettings.h"
#include "worker/VideoThread.h"
#include "worker/ZoneReaders.h"

namespace {

// The default sample, written once into the temporary folder.
const std::string& SamplePath() {
    static const std::string path = [] {
        const std::string file =
            (std::filesystem::temp_directory_path() / ("kalvero-bench-sdk-" + std::to_string(::getpid()) + ".mkv"))
                .string();
        std::ostringstream out, err;
        if (kalvero::RunMakeSample({file}, out, err) != 0) throw std::runtime_error(err.str());
        std::atexit([] { std::filesystem::remove(SamplePath()); });
        return file;
    }();
    return path;
}

const std::vector<cv::Mat>& SampleFrames() {
    static const std::vector<cv::Mat> frames = [] {
        std::vector<cv::Mat> decoded;
        cv::VideoCapture capture(SamplePath());
        cv::Mat frame;
        while (capture.read(frame)) decoded.push_back(frame.clone());
        return decoded;
    }();
    return frames;
}

class CountingSink : public kalvero::FrameSink {
public:
    void OnFrame(const kalvero::FrameReport& report) override { readings += report.readings.size(); }
    bool WantsImage() const override { return false; }
    std::size_t readings = 0;
};

void ReaderRunLoop(benchmark::State& state) {
    kalvero::VideoThread block;
    std::string error;
    if (block.learnedNetwork(error) == nullptr) throw std::runtime_error(error);
    for (auto _ : state) {
        kalvero::RunSettings settings;
        kalvero::StoreRunPath(settings, SamplePath());
        settings.numberH.store(0);
        settings.zoneW.store(640);
        settings.zoneH.store(360);
        settings.engine.store(static_cast<std::int32_t>(kalvero::RecognitionEngine::Learned));
        settings.confirmStreak.store(3);
        CountingSink sink;
        block.Run(sink, settings);
        benchmark::DoNotOptimize(sink.readings);
    }
    state.SetItemsProcessed(state.iterations() * 60);
}

void ApiDecodeAndReadFrame(benchmark::State& state) {
    kalvero_reader* reader = kalvero_reader_new(nullptr);
    if (reader == nullptr) throw std::runtime_error(kalvero_last_error());
    for (auto _ : state) {
        cv::VideoCapture capture(SamplePath());
        cv::Mat frame;
        int frames = 0;
        while (capture.read(frame)) {
            const kalvero_image image{frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), KALVERO_BGR8};
            kalvero_frame* result = nullptr;
            if (kalvero_read_frame(reader, &image, frames++ / 25.0, &result) != KALVERO_OK) {
                throw std::runtime_error(kalvero_last_error());
            }
            kalvero_frame_free(result);
        }
        kalvero_frame* rest = nullptr;
        kalvero_reader_finish(reader, &rest);
        kalvero_frame_free(rest);
    }
    kalvero_reader_free(reader);
    state.SetItemsProcessed(state.iterations() * 60);
}

void ZoneReaderPath(benchmark::State& state) {
    std::string error;
    const std::unique_ptr<kalvero::LineReader> network = kalvero::LineReader::Create(error);
    if (!network) throw std::runtime_error(error);
    kalvero::ZoneReaderChoice choice;
    choice.engine = kalvero::RecognitionEngine::Learned;
    choice.learnedRequiresCheckDigit = true;
    const std::unique_ptr<kalvero::ZoneReader> zoneReader = kalvero::MakeZoneReader(choice, network.get());
    const std::vector<cv::Mat>& frames = SampleFrames();
    for (auto _ : state) {
        auto vote = kalvero::ResultVoteBuffer::create(30, 5);
        for (const cv::Mat& frame : frames) {
            const std::vector<kalvero::Reading> readings = zoneReader->Read(frame, 0);
            const std::string text = readings.empty() ? std::string() : readings.front().text;
            char banner[kalvero::ResultVoteBuffer::kSlotSize + 1] = {};
            std::int32_t capacity = kalvero::ResultVoteBuffer::kSlotSize;
            benchmark::DoNotOptimize(vote->vote(text.data(), static_cast<std::int32_t>(text.size()), banner, capacity));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
}

void ApiReadFrame(benchmark::State& state) {
    kalvero_reader* reader = kalvero_reader_new(nullptr);
    if (reader == nullptr) throw std::runtime_error(kalvero_last_error());
    const std::vector<cv::Mat>& frames = SampleFrames();
    for (auto _ : state) {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const cv::Mat& frame = frames[i];
            const kalvero_image image{frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), KALVERO_BGR8};
            kalvero_frame* result = nullptr;
            if (kalvero_read_frame(reader, &image, static_cast<double>(i) / 25.0, &result) != KALVERO_OK) {
                throw std::runtime_error(kalvero_last_error());
            }
            kalvero_frame_free(result);
        }
        kalvero_frame* rest = nullptr;
        kalvero_reader_finish(reader, &rest);
        kalvero_frame_free(rest);
    }
    kalvero_reader_free(reader);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
}

}  // namespace

BENCHMARK(ReaderRunLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ApiDecodeAndReadFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ZoneReaderPath)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ApiReadFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
