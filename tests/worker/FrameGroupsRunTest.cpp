// The run loop with the learned engine and no digit height: a file's frames
// are read in groups of three, the third searched whole while the first is
// read, the first two where the searches on either side showed numbers.
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

TEST(FrameGroupsRun, EachFrameGivesItsOwnReadingsAndThreeFramesConfirm) {
    // Frames 3, 6, 9 and 12 are searched whole (while 1, 4, 7 and 10 are
    // read); 5 is read in strips around what 3 and 6 showed, 7 around what
    // 6 and 9 showed.
    std::vector<RecordedFrame> frames = RunWithoutHeight(3);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(FramesRead(frames), (std::vector<int>{5, 6, 7}));
    std::vector<int> confirmed;
    for (const RecordedFrame& frame : frames) {
        if (frame.voteCode == 0) confirmed.push_back(frame.frameNumber);
    }
    EXPECT_EQ(confirmed, std::vector<int>{7});

    // A frame's time is the time of its own reading: frames 3, 6, 9 and 12
    // were searched whole by an earlier call, 1, 2, 10 and 11 read in
    // strips around nothing (4 to 8 around the number of frame 6).
    double whole = 0.0;
    double strips = 0.0;
    for (const RecordedFrame& frame : frames) {
        if (frame.frameNumber >= 4 && frame.frameNumber <= 8 && frame.frameNumber != 6) continue;
        (frame.frameNumber % 3 == 0 ? whole : strips) += frame.recognitionMs;
    }
    EXPECT_GT(whole, 3.0 * strips) << "searched whole " << whole << " ms, around nothing " << strips << " ms";

    // A number whole on one frame read in strips, with nothing in the
    // searches on either side, is not looked for (nor could it be confirmed).
    frames = RunWithoutHeight(1);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_TRUE(FramesRead(frames).empty());
}

}  // namespace
}  // namespace kalvero::testing
