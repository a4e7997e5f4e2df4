// The run loop with the learned engine and no digit height: a file's frames
// are read in pairs, the next frame searched whole while this one is read
// where its neighbours showed numbers.
#include <gtest/gtest.h>

#include <numeric>

#include "RecordingSink.h"
#include "RunConfiguration.h"
#include "support/VideoFixtures.h"

namespace kalvero::testing {
namespace {

constexpr const char* kNumber = "52473063";

// A 12-frame video whose number is in view on frames 5 to 4 + shown, the
// rest plain, read with the learned engine, no digit height and a streak of 3.
std::vector<RecordedFrame> RunWithoutHeight(int shown) {
    const cv::Size size(320, 240);
    std::vector<cv::Mat> frames = PlainFrames(size, 12);
    const std::vector<cv::Mat> number = NumberFrames(size, shown, kNumber, 29, cv::Point(40, 100));
    for (int i = 0; i < shown; ++i) frames[static_cast<std::size_t>(4 + i)] = number[static_cast<std::size_t>(i)];
    TestVideo video(frames);
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(cv::Point(0, 0), size));
    options.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
    options.numberH = 0;
    options.confirmStreak = 3;
    RecordingSink sink;
    block.optionsChanged = true;
    block.Run(sink, options);
    return sink.frames();
}

std::vector<int> FramesRead(const std::vector<RecordedFrame>& frames) {
    std::vector<int> read;
    for (const RecordedFrame& frame : frames) {
        if (frame.readings.empty()) continue;
        EXPECT_EQ(frame.readings.front().text, kNumber) << "frame " << frame.frameNumber;
        read.push_back(frame.frameNumber);
    }
    return read;
}

TEST(PairedFramesRun, EachFrameGivesItsOwnReadingsAndThreeFramesConfirm) {
    // Frames 5 and 7 are read in strips around what frames 4, 6 and 8 showed
    // when searched whole; 6 was searched while 5 was read.
    std::vector<RecordedFrame> frames = RunWithoutHeight(3);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(FramesRead(frames), (std::vector<int>{5, 6, 7}));
    std::vector<int> confirmed;
    for (const RecordedFrame& frame : frames) {
        if (frame.voteCode == 0) confirmed.push_back(frame.frameNumber);
    }
    EXPECT_EQ(confirmed, std::vector<int>{7});

    // A frame's time is the time of its own reading: the even frames were
    // searched whole (on the call before), the odd ones around nothing
    // but frames 5 and 7.
    double whole = 0.0;
    double strips = 0.0;
    for (const RecordedFrame& frame : frames) {
        if (frame.frameNumber == 5 || frame.frameNumber == 7) continue;
        (frame.frameNumber % 2 == 0 ? whole : strips) += frame.recognitionMs;
    }
    EXPECT_GT(whole, 3.0 * strips) << "searched whole " << whole << " ms, around nothing " << strips << " ms";

    // A number whole on one frame read in strips, with nothing in its
    // neighbours, is not looked for (and could not be confirmed).
    frames = RunWithoutHeight(1);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_TRUE(FramesRead(frames).empty());
}

}  // namespace
}  // namespace kalvero::testing
