// The run loop's quiet clipping of a zone that does not fit (kalvero-read's
// streams): the zone is read clipped to the frame, with no "out of frame"
// warning painted and no larger font, where the window would warn (see
// RunLoop.ZoneBeyondTheFrameWarnsKeepsOldZoneAndDoublesTheFont).
#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "worker/PixelCounts.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

const cv::Vec3b kRgbRed(255, 0, 0);

TEST(QuietZoneClip, AZoneBeyondTheFrameIsClippedWithoutTheWarning) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 3));
    VideoThread block;
    block.clipZoneQuietly = true;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 1 << 20, 1 << 20));
    block.optionsChanged = true;
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(block.fontScale.load(), 1.0);
    EXPECT_FALSE(block.drawZone.load());
    for (const RecordedFrame& frame : frames) {
        EXPECT_EQ(frame.zone, cv::Rect(0, 0, 160, 120));
        EXPECT_EQ(CountColour(frame.rgb, cv::Rect(0, 0, 160, 120), kRgbRed), 0) << "frame " << frame.frameNumber;
    }
}

TEST(QuietZoneClip, TheClippedZoneIsStillRead) {
    TestVideo video(NumberFrames(cv::Size(320, 240), 4, "52473063", 29, cv::Point(40, 100)));
    VideoThread block;
    block.clipZoneQuietly = true;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 60, 5000, 120));
    options.numberH = 29;
    block.optionsChanged = true;
    RecordingSink sink;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 4u);
    for (const RecordedFrame& frame : frames) {
        EXPECT_EQ(frame.zone, cv::Rect(0, 60, 320, 120));
        ASSERT_FALSE(frame.readings.empty()) << "frame " << frame.frameNumber;
        EXPECT_EQ(frame.readings.front().text, "52473063");
    }
}

}  // namespace
}  // namespace kalvero::testing
