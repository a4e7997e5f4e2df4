// The run's settings as one value: converted once from a driver's record,
// handed over whole and taken whole by the loop.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "worker/RunPlan.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

TEST(PlanOf, CarriesEveryValueOfTheRecord) {
    RunSettings settings;
    settings.numberH = 41;
    settings.zoneX = 3;
    settings.zoneY = -4;
    settings.zoneW = 500;
    settings.zoneH = 60;
    settings.deepBuf = 12;
    settings.colNum = 7;
    settings.zoom = 0.75f;
    settings.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
    settings.learnedCheckDigitVote = false;
    settings.glyphCheckDigitVote = true;
    settings.confirmStreak = 3;
    const RunPlan plan = PlanOf(settings);
    EXPECT_EQ(plan.numberH, 41);
    EXPECT_EQ(plan.zone, cv::Rect(3, -4, 500, 60));
    EXPECT_EQ(plan.deepBuf, 12);
    EXPECT_EQ(plan.colNum, 7);
    EXPECT_EQ(plan.zoom, 0.75f);
    EXPECT_EQ(plan.engine, RecognitionEngine::Learned);
    EXPECT_FALSE(plan.learnedCheckDigitVote);
    EXPECT_TRUE(plan.glyphCheckDigitVote);
    EXPECT_EQ(plan.confirmStreak, 3);
    EXPECT_FALSE(CheckDigitVoteFor(plan, RecognitionEngine::Learned));
    EXPECT_TRUE(CheckDigitVoteFor(plan, RecognitionEngine::Glyph));

    // An engine number that names no engine is the glyph engine.
    settings.engine = 7;
    EXPECT_EQ(PlanOf(settings).engine, RecognitionEngine::Glyph);
    // The defaults agree.
    EXPECT_EQ(PlanOf(RunSettings{}), RunPlan{});
}

TEST(RunPlanHandoff, EveryFrameIsReadWithOneWholePlanHandedOver) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 150));
    RunPlan first;
    first.zone = cv::Rect(0, 0, 40, 30);
    RunPlan second;
    second.zone = cv::Rect(10, 20, 130, 90);
    VideoThread block;
    block.SetStartPlan(first);
    RecordingSink sink;
    std::atomic<bool> done{false};
    // The driver hands the two plans over in turn as fast as it can; a
    // plan copied while another lands would mix their zones.
    std::thread driver([&] {
        for (int i = 0; !done.load(); ++i) block.ApplyPlan(i % 2 == 0 ? second : first);
    });
    block.Run(sink, video.path());
    done = true;
    driver.join();
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 150u);
    for (const RecordedFrame& frame : frames) {
        EXPECT_TRUE(frame.zone == first.zone || frame.zone == second.zone)
            << "frame " << frame.frameNumber << ": " << frame.zone;
    }
    EXPECT_FALSE(block.drawZone.load());  // both zones fit: no warning
}

TEST(RunPlanHandoff, ARecordStoredDuringTheRunIsNotReadUntilItIsHandedOver) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 6));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 40, 30));
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 2) {
            options.zoneW = 100;  // stored, not handed over
            block.optionsChanged = true;
        }
        if (report.frameNumber == 4) block.ApplyPlan(PlanOf(options));
    };
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 6u);
    for (const RecordedFrame& frame : frames) {
        const cv::Rect expected = frame.frameNumber <= 4 ? cv::Rect(0, 0, 40, 30) : cv::Rect(0, 0, 100, 30);
        EXPECT_EQ(frame.zone, expected) << "frame " << frame.frameNumber;
    }
}

TEST(RunPlanHandoff, AShownZoneIsDrawnFromTheNextFrameWhileRecognitionKeepsItsZoneUntilAnApply) {
    // The window's Show button during a run: the zone box follows at once,
    // recognition keeps the zone it latched until some setting is applied,
    // and then takes the shown zone too.
    TestVideo video(PlainFrames(cv::Size(160, 120), 6));
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 0, 40, 30));
    const cv::Rect shownZone(60, 50, 80, 40);
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 2) {
            options.zoneX = shownZone.x;
            options.zoneY = shownZone.y;
            options.zoneW = shownZone.width;
            options.zoneH = shownZone.height;
            block.ShowPlan(PlanOf(options));
            block.drawZone = true;
        }
        if (report.frameNumber == 4) {
            options.deepBuf = 20;
            block.ApplyPlan(PlanOf(options));
        }
    };
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 6u);
    const cv::Vec3b green(0, 255, 0);  // RGB order
    for (const RecordedFrame& frame : frames) {
        const cv::Rect recognised = frame.frameNumber <= 4 ? cv::Rect(0, 0, 40, 30) : shownZone;
        EXPECT_EQ(frame.zone, recognised) << "frame " << frame.frameNumber;
        const bool boxDrawn = frame.rgb.at<cv::Vec3b>(shownZone.y, shownZone.x + shownZone.width / 2) == green;
        EXPECT_EQ(boxDrawn, frame.frameNumber >= 3) << "frame " << frame.frameNumber;
    }
}

}  // namespace
}  // namespace kalvero::testing
