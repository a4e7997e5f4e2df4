// The input runner: each input opened once whatever is written, and the
// runner alone ending a run (a writer's failure, Ctrl-C).
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "cli/InputRunner.h"
#include "cli/Reader.h"
#include "support/VideoFixtures.h"
#include "worker/FrameSource.h"

namespace kalvero {
namespace {

using testing::NumberFrames;
using testing::TestVideo;

std::vector<cv::Mat> CarriageFrames(int count) {
    return NumberFrames(cv::Size(320, 240), count, "52473063", 29, cv::Point(40, 100));
}

// A folder of its own for one test's outputs.
struct OutputFolder {
    OutputFolder() {
        // A parameterised test's name holds a slash ("Name/0"): as it is,
        // it would name a folder inside one that is never removed.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        path = std::filesystem::temp_directory_path() /
               ("kalvero-runner-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~OutputFolder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

class ReaderOpensOnce : public ::testing::TestWithParam<const char*> {};

TEST_P(ReaderOpensOnce, WithEveryOutputAskedFor) {
    OutputFolder folder;
    std::string input;
    if (std::string(GetParam()) == "video") {
        ASSERT_TRUE(testing::WriteVideo(folder / "in.avi", CarriageFrames(8)));
        input = folder / "in.avi";
    } else {
        ASSERT_TRUE(cv::imwrite(folder / "in.png", CarriageFrames(1).front()));
        input = folder / "in.png";
    }
    std::ostringstream out;
    std::ostringstream err;
    const long long before = FrameSource::filesOpened();
    const int status = RunReader({input, "--engine", "glyph", "--json", "--passes", folder / "p.jsonl", "--crops",
                                  folder / "crops", "--report", folder / "r.html", "--annotate", folder / "a.avi"},
                                 out, err, ReaderEnvironment{});
    EXPECT_EQ(status, kExitOk) << err.str();
    EXPECT_EQ(FrameSource::filesOpened() - before, 1);
    // And it was read to its end from that one opening.
    const std::string json = out.str();
    const std::size_t frames = GetParam() == std::string("video") ? 8 : 1;
    EXPECT_EQ(static_cast<std::size_t>(std::count(json.begin(), json.end(), '\n')), frames) << json;
    EXPECT_NE(err.str().find("\"frames_read\": " + std::to_string(frames)), std::string::npos) << err.str();
}

INSTANTIATE_TEST_SUITE_P(VideoAndStill, ReaderOpensOnce, ::testing::Values("video", "still"));

// Counts what it is told; fails once the frame `failAt` arrives (0: never),
// or refuses the input.
class ProbeWriter : public OutputWriter {
public:
    explicit ProbeWriter(int failAt = 0, bool refuseInput = false) : failAt_(failAt), refuseInput_(refuseInput) {}
    bool BeginInput(const InputStart& start) override {
        size = start.frameSize;
        fps = start.framesPerSecond;
        if (refuseInput_) {
            Fail("cannot write the probe");
        }
        return !refuseInput_;
    }
    void Frame(const FrameEvent& event) override {
        ++frames;
        if (event.report.frameNumber == failAt_) {
            Fail("output could not be written: probe full");
        }
    }
    void EndInput(const InputEnd& end) override {
        ended = true;
        endSawFailure = end.outputFailed;
        framesRead = end.report.FramesRead();
        interrupted = end.report.Interrupted();
    }
    int frames = 0;
    int framesRead = 0;
    bool ended = false;
    bool endSawFailure = false;
    bool interrupted = false;
    cv::Size size;
    double fps = 0.0;

private:
    int failAt_;
    bool refuseInput_;
};

struct RunOutcome {
    int status = 0;
    std::string err;
};

RunOutcome ReadWith(const std::string& input, const std::vector<OutputWriter*>& writers,
               const ReaderEnvironment& environment = {}) {
    ReaderOptions options;
    options.engine = RecognitionEngine::Glyph;
    options.digitHeight = 29;
    SharedProgress progress(std::cerr, false, 0);
    std::ostringstream err;
    VideoThread block;
    InputRunner runner(options, environment, progress, err, writers, block);
    RunOutcome outcome;
    outcome.status = runner.Read(input, false);
    outcome.err = err.str();
    return outcome;
}

class WriterFailure : public ::testing::TestWithParam<int> {};

TEST_P(WriterFailure, EndsTheRunAfterThatFrameWithStatus4AndIsSaidOnce) {
    const int failAt = GetParam();
    TestVideo video(CarriageFrames(10));
    ProbeWriter failing(failAt);
    ProbeWriter watching;
    const RunOutcome outcome = ReadWith(video.path(), {&failing, &watching});
    EXPECT_EQ(outcome.status, kExitOutput);
    EXPECT_EQ(watching.frames, failAt);  // no frame is read after the failure
    EXPECT_EQ(failing.frames, failAt);
    EXPECT_EQ(outcome.err, "kalvero-read: output could not be written: probe full\n");
    // Every writer still ends the input, told that output was lost.
    EXPECT_TRUE(watching.ended);
    EXPECT_TRUE(watching.endSawFailure);
    EXPECT_EQ(watching.framesRead, failAt);
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleAndLastFrame, WriterFailure, ::testing::Values(1, 4, 10));

TEST(InputRunner, AWriterThatRefusesTheInputKeepsItFromBeingRead) {
    TestVideo video(CarriageFrames(3));
    ProbeWriter watching;
    ProbeWriter refusing(0, true);
    const RunOutcome outcome = ReadWith(video.path(), {&watching, &refusing});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_EQ(outcome.err, "kalvero-read: cannot write the probe\n");
    EXPECT_EQ(watching.frames, 0);
    EXPECT_FALSE(watching.ended);
}

TEST(InputRunner, WritersLearnTheInputsSizeAndRateFromItsOneOpening) {
    const std::vector<cv::Mat> frames = CarriageFrames(3);
    testing::TempFile file("avi");
    ASSERT_TRUE(testing::WriteVideo(file.path(), frames, 10.0));  // not the fallback 25
    ProbeWriter watching;
    const RunOutcome outcome = ReadWith(file.path(), {&watching});
    EXPECT_EQ(outcome.status, kExitOk) << outcome.err;
    EXPECT_EQ(watching.size, cv::Size(320, 240));
    EXPECT_DOUBLE_EQ(watching.fps, 10.0);
    EXPECT_EQ(watching.frames, 3);
    EXPECT_FALSE(watching.endSawFailure);
}

TEST(InputRunner, CtrlCEndsTheRunAfterTheFrameItCameInAndIsNoFailure) {
    TestVideo video(CarriageFrames(10));
    ProbeWriter watching;
    ReaderEnvironment environment;
    environment.interruptRequested = [&] { return watching.frames >= 2; };
    const RunOutcome outcome = ReadWith(video.path(), {&watching}, environment);
    EXPECT_EQ(outcome.status, kExitOk) << outcome.err;
    EXPECT_EQ(watching.frames, 2);
    EXPECT_TRUE(watching.interrupted);
    EXPECT_FALSE(watching.endSawFailure);
}

}  // namespace
}  // namespace kalvero
