// The run loop driven through a recording sink, on generated videos.
#include <chrono>
#include <regex>
#include <thread>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "worker/PixelCounts.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "support/VideoFixtures.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

const cv::Vec3b kRgbWhite(255, 255, 255);
const cv::Vec3b kRgbRed(255, 0, 0);
const cv::Vec3b kRgbYellow(255, 255, 0);
const cv::Vec3b kRgbMagenta(255, 0, 255);

constexpr char kNumber[] = "52473063";

// The area the banner of `text` covers in a frame of `rows` rows at font
// scale 1.0 (the run's default font settings).
cv::Rect BannerArea(const std::string& text, int rows) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, 1.0, 3, &baseline);
    return cv::Rect(40, rows - 40 - size.height, size.width, size.height);
}

// A 320 x 240 video whose frames all show the number light on dark, digits
// 29 pixels high at (40, 100); the zone (0, 60, 320, 120) holds it.
const cv::Rect kNumberZone(0, 60, 320, 120);

std::vector<cv::Mat> ReadableFrames(int count) {
    return NumberFrames(cv::Size(320, 240), count, kNumber, 29, cv::Point(40, 100));
}

TEST(RunLoop, PlaysEveryFrameOnceThenEndsAndReplaysFromTheStart) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 5));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 40, 30));
    RecordingSink sink;

    for (int pass = 0; pass < 2; ++pass) {
        sink.clear();
        block.Run(sink, options);
        const auto frames = sink.frames();
        ASSERT_EQ(frames.size(), 5u) << "pass " << pass;
        const std::regex line(R"(Frame #(\d+): Time recognition: \d+\.\d{3} s)");
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(frames[i].frameNumber, i + 1);
            std::smatch match;
            ASSERT_TRUE(std::regex_match(frames[i].line, match, line)) << frames[i].line;
            EXPECT_EQ(std::stoi(match[1]), i + 1);
            EXPECT_EQ(frames[i].rgb.size(), cv::Size(96, 72));
            EXPECT_EQ(frames[i].rgb.type(), CV_8UC3);
        }
        EXPECT_EQ(sink.runEnds(), 1);
        EXPECT_TRUE(sink.lastOpened());
        EXPECT_FALSE(block.isRunning.load());
        EXPECT_FALSE(block.stopRequest.load());
    }
}

TEST(RunLoop, UnopenableFileEndsAtOnceWithNothingShown) {
    VideoThread block;
    RunSettings options;
    RecordingSink sink;
    for (const char* path : {"/nonexistent/kalvero/video.avi", ""}) {
        sink.clear();
        ASSERT_TRUE(StoreRunPath(options, path));
        block.stopRequest = true;  // a stale request is cleared by the run end
        block.Run(sink, options);
        EXPECT_EQ(sink.count(), 0u);
        EXPECT_EQ(sink.runEnds(), 1);
        EXPECT_FALSE(sink.lastOpened());
        EXPECT_FALSE(block.isRunning.load());
        EXPECT_FALSE(block.stopRequest.load());
    }
}

TEST(RunLoop, ZoomScalesEveryFrameFromTheNextFrameOn) {
    TestVideo video(PlainFrames(cv::Size(640, 480), 3));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 100, 100));
    options.zoom = 0.5f;
    RecordingSink sink;
    // A new zoom handed over during the run applies to the very next frame.
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 2) {
            options.zoom = 0.3f;
            block.ApplyPlan(PlanOf(options));
        }
    };
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].rgb.size(), cv::Size(320, 240));
    EXPECT_EQ(frames[1].rgb.size(), cv::Size(320, 240));
    EXPECT_EQ(frames[2].rgb.size(), cv::Size(192, 144));
}

TEST(RunLoop, StillImagePlaysAsOneFrameVideo) {
    TempFile still("png");
    cv::Mat grey16(60, 80, CV_16UC1, cv::Scalar(40000));
    ASSERT_TRUE(cv::imwrite(still.path(), grey16));
    VideoThread block;
    RunSettings options;
    Configure(options, still.path(), cv::Rect(0, 0, 10, 10));
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].rgb.type(), CV_8UC3);
    EXPECT_EQ(frames[0].rgb.at<cv::Vec3b>(30, 40), cv::Vec3b(156, 156, 156));  // 40000 / 257, rounded
}

TEST(RunLoop, ReadableNumberIsConfirmedAtTheThresholdAndBannered) {
    TestVideo video(ReadableFrames(7));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), kNumberZone);
    block.optionsChanged = true;  // as after the window's start-up
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 7u);

    const cv::Rect banner = BannerArea(kNumber, 240);
    for (const RecordedFrame& frame : frames) {
        SCOPED_TRACE("frame " + std::to_string(frame.frameNumber));
        ASSERT_GE(frame.readings.size(), 1u);
        EXPECT_EQ(frame.readings[0].text, kNumber);
        EXPECT_EQ(frame.zone, kNumberZone);
        // The best reading's label in the top-left corner on every frame.
        EXPECT_GT(CountColour(frame.rgb, cv::Rect(35, 10, 280, 40), kRgbMagenta), 100);
        // Its box in yellow, in frame coordinates.
        const cv::Rect box = frame.readings[0].box + kNumberZone.tl();
        EXPECT_GT(CountColour(frame.rgb, cv::Rect(box.x + 20, box.y + box.height - 1, box.width - 40, 3), kRgbYellow),
                  box.width / 2);

        if (frame.frameNumber < 5) {
            // Fewer than 5 equal readings in the ring so far.
            EXPECT_EQ(frame.voteCode, 2);
            EXPECT_EQ(frame.confirmed, "");
            EXPECT_EQ(CountColour(frame.rgb, banner, kRgbWhite), 0);
        } else {
            EXPECT_EQ(frame.voteCode, 0);
            EXPECT_EQ(frame.confirmed, kNumber);
            // White box with red text, 40 pixels in from the left and bottom.
            const int white = CountColour(frame.rgb, banner, kRgbWhite);
            const int red = CountColour(frame.rgb, banner, kRgbRed);
            EXPECT_GT(white, banner.area() / 3);
            EXPECT_GT(red, 200);
            EXPECT_EQ(white + red, banner.area());
            EXPECT_EQ(CountColour(frame.rgb, cv::Rect(0, 0, 40, 240), kRgbWhite), 0);
            EXPECT_EQ(CountColour(frame.rgb, cv::Rect(0, 201, 320, 39), kRgbWhite), 0);
        }
    }

    // The name above the box from the second frame in a row on.
    const cv::Rect best = frames[0].readings[0].box;
    const cv::Rect aboveBox(best.x + kNumberZone.x, best.y + kNumberZone.y - 24, 150, 24);
    EXPECT_EQ(CountColour(frames[0].rgb, aboveBox, kRgbRed), 0);
    EXPECT_GT(CountColour(frames[1].rgb, aboveBox, kRgbRed), 100);
}

TEST(RunLoop, ApplyingAnySettingDuringARunEmptiesTheVoteHistory) {
    TestVideo video(ReadableFrames(12));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), kNumberZone);
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 6) block.optionsChanged.store(true, std::memory_order_release);
    };
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 12u);
    const std::vector<int> expected = {2, 2, 2, 2, 0, 0, 2, 2, 2, 2, 0, 0};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].voteCode, expected[i]) << "frame " << i + 1;
    }
    const cv::Rect banner = BannerArea(kNumber, 240);
    EXPECT_EQ(CountColour(frames[6].rgb, banner, kRgbWhite), 0);
    EXPECT_GT(CountColour(frames[10].rgb, banner, kRgbWhite), 0);
}

TEST(RunLoop, RefusedVoteSettingsRunWithoutVoting) {
    TestVideo video(ReadableFrames(6));
    for (const auto& [depth, threshold] : {std::pair{4, 1}, std::pair{501, 1}, std::pair{30, 0}}) {
        SCOPED_TRACE(std::to_string(depth) + "/" + std::to_string(threshold));
        VideoThread block;
        RunSettings options;
        Configure(options, video.path(), kNumberZone);
        options.deepBuf = depth;
        options.colNum = threshold;
        block.optionsChanged = true;
        RecordingSink sink;
        block.Run(sink, options);
        const auto frames = sink.frames();
        ASSERT_EQ(frames.size(), 6u);
        for (const RecordedFrame& frame : frames) {
            EXPECT_EQ(frame.voteCode, kNoVote);
            EXPECT_EQ(frame.confirmed, "");
            EXPECT_EQ(CountColour(frame.rgb, BannerArea(kNumber, 240), kRgbWhite), 0);
            EXPECT_GE(frame.readings.size(), 1u);  // recognition goes on
        }
    }
}

TEST(RunLoop, ZoneBeyondTheFrameWarnsKeepsOldZoneAndDoublesTheFont) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 3));
    VideoThread block;
    RunSettings options;
    // One pixel beyond the right edge: the first zone of the run is taken
    // unchecked (and clipped to cut the frame), the applied check fails.
    Configure(options, video.path(), cv::Rect(0, 0, 161, 120));
    block.optionsChanged = true;
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(block.fontScale.load(), 2.0);
    EXPECT_TRUE(block.drawZone.load());
    for (const RecordedFrame& frame : frames) {
        EXPECT_EQ(frame.zone, cv::Rect(0, 0, 160, 120));
        // "out of frame" in red from the middle of the frame, on every frame.
        EXPECT_GT(CountColour(frame.rgb, cv::Rect(80, 60 - 45, 80, 50), kRgbRed), 150)
            << "frame " << frame.frameNumber;
        EXPECT_EQ(CountColour(frame.rgb, cv::Rect(0, 0, 80, 120), kRgbRed), 0);
    }
}

TEST(RunLoop, ZoneOutsideTheFrameGivesRecognitionAnEmptyImage) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 2));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(500, 500, 50, 50));
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].zone.empty());
    EXPECT_TRUE(frames[0].readings.empty());
}

TEST(RunLoop, StopRequestEndsTheRunBeforeTheNextFrame) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 8));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 10, 10));
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 3) block.stopRequest = true;
    };
    block.Run(sink, options);
    EXPECT_EQ(sink.count(), 3u);
    EXPECT_FALSE(block.stopRequest.load());
    EXPECT_FALSE(block.isRunning.load());
}

TEST(RunLoop, StartDuringAPauseProcessesOneMoreFrameAndEndsPromptly) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 10));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 10, 10));
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 2) block.isPaused = true;
    };
    std::thread worker([&] { block.Run(sink, options); });
    ASSERT_TRUE(WaitUntil([&] { return block.pauseEntered.load(); }));
    EXPECT_TRUE(block.isRunning.load());
    EXPECT_EQ(sink.count(), 2u);

    // What Start does during a pause: clear it, then request the stop.
    const auto pressed = std::chrono::steady_clock::now();
    block.isPaused = false;
    block.stopRequest = true;
    ASSERT_TRUE(WaitUntil([&] { return sink.runEnds() == 1; }));
    const auto waited = std::chrono::steady_clock::now() - pressed;
    worker.join();
    EXPECT_EQ(sink.count(), 3u);
    EXPECT_FALSE(block.pauseEntered.load());
    // The pause does not sit out its full second once it is cleared.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 700);
}

TEST(RunLoop, PauseHoldsTheRunUntilItIsCleared) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 4));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 10, 10));
    block.isPaused = true;  // paused before the first frame
    RecordingSink sink;
    std::thread worker([&] { block.Run(sink, options); });
    ASSERT_TRUE(WaitUntil([&] { return block.pauseEntered.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sink.count(), 0u);
    block.isPaused = false;
    worker.join();
    EXPECT_EQ(sink.count(), 4u);
}

}  // namespace
}  // namespace kalvero::testing
