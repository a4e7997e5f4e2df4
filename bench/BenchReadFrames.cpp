// Cost of getting a video's frames to recognition: decoding an H.264 file,
// converting to BGR and handing the frames over, with no recognition at
// all. Process CPU time counts every thread (FFmpeg's, the decoding-ahead
// one); compare with `ffmpeg -threads 1 -i FILE -f null -` on the same file
// to see what the read path adds to a plain decode.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <opencv2/core.hpp>

#include "tools/FfmpegVideoWriter.h"
#include "tools/VariedScene.h"
#include "worker/FrameSource.h"

namespace {

constexpr int kFrames = 30;

// A varied generated scene of `size`, written once as H.264 to a file that
// goes when the process ends.
class SceneVideo {
public:
    SceneVideo(cv::Size size, int digitHeight) {
        char name[] = "/tmp/kalvero-bench-read-XXXXXX.mp4";
        const int fd = ::mkstemps(name, 4);
        if (fd < 0) throw std::runtime_error("no temporary file");
        ::close(fd);
        path_ = name;
        kalvero::SampleOptions sample;
        sample.size = size;
        sample.digitHeight = digitHeight;
        sample.frames = kFrames;
        sample.seed = 7;
        kalvero::SceneOptions options;
        options.font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
        options.varied = true;
        kalvero::VariedScene scene;
        std::string problem = scene.Build(sample, options);
        kalvero::FfmpegVideoWriter writer;
        if (problem.empty()) problem = writer.Open(path_, size, 25.0, kalvero::VideoCodec::H264, 0);
        for (int i = 0; problem.empty() && i < kFrames; ++i) {
            if (!writer.Write(scene.Frame(i))) problem = "ffmpeg stopped taking frames";
        }
        const std::string closed = writer.Close();
        if (problem.empty()) problem = closed;
        if (!problem.empty()) throw std::runtime_error(problem);
    }
    ~SceneVideo() { std::remove(path_.c_str()); }
    SceneVideo(const SceneVideo&) = delete;
    SceneVideo& operator=(const SceneVideo&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const SceneVideo& Video1080() {
    static const SceneVideo video(cv::Size(1920, 1080), 48);
    return video;
}
const SceneVideo& Video2160() {
    static const SceneVideo video(cv::Size(3840, 2160), 96);
    return video;
}

void RunReadFrames(benchmark::State& state, const SceneVideo& video, bool ahead) {
    long long frames = 0;
    for (auto _ : state) {
        kalvero::FrameSource source;
        const bool opened = ahead ? source.openDecodingAhead(video.path()) : source.open(video.path());
        if (!opened) throw std::runtime_error("cannot open " + video.path());
        cv::Mat frame;
        while (source.read(frame)) {
            benchmark::DoNotOptimize(frame.data);
            ++frames;
        }
    }
    state.SetItemsProcessed(frames);
}

void BM_ReadFrames1080DecodingAhead(benchmark::State& state) { RunReadFrames(state, Video1080(), true); }
void BM_ReadFrames1080OneByOne(benchmark::State& state) { RunReadFrames(state, Video1080(), false); }
void BM_ReadFrames2160DecodingAhead(benchmark::State& state) { RunReadFrames(state, Video2160(), true); }

BENCHMARK(BM_ReadFrames1080DecodingAhead)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReadFrames1080OneByOne)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReadFrames2160DecodingAhead)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
