// The run loop's engine choice and its check-digit rule for confirmation.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include "support/ScopedVariable.h"
#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

// 52473063 passes its check digit; the same digits ending in 8 fail it.
constexpr char kValid[] = "52473063";
constexpr char kFailing[] = "52473068";

const cv::Rect kZone(0, 60, 320, 120);

// Settings for a run of the file `path` over kZone whose vote confirms a
// number after three equal readings.
void ConfigureVote(RunSettings& options, const std::string& path) {
    options.colNum = 3;
    Configure(options, path, kZone);
}

std::vector<cv::Mat> Frames(const char* number, int count) {
    return NumberFrames(cv::Size(320, 240), count, number, 29, cv::Point(40, 100));
}

int Confirmations(const std::vector<RecordedFrame>& frames, const std::string& text) {
    int count = 0;
    for (const RecordedFrame& frame : frames) count += frame.voteCode == 0 && frame.confirmed == text;
    return count;
}

TEST(CheckDigitVote, AFailingReadingIsShownButNeverConfirmedWhileAValidOneStillIs) {
    ASSERT_FALSE(CheckDigitHolds(kFailing));
    ASSERT_TRUE(CheckDigitHolds(kValid));
    TestVideo failing(Frames(kFailing, 12));
    TestVideo valid(Frames(kValid, 12));
    for (bool rule : {false, true}) {
        SCOPED_TRACE(rule ? "rule on" : "rule off");
        VideoThread block;
        RunSettings options;
        options.glyphCheckDigitVote = rule;
        ConfigureVote(options, failing.path());
        RecordingSink sink;
        block.optionsChanged = true;
        block.Run(sink, options);
        const auto frames = sink.frames();
        ASSERT_EQ(frames.size(), 12u);
        int shown = 0;
        for (const RecordedFrame& frame : frames) {
            shown += !frame.readings.empty() && frame.readings[0].text == kFailing;
            EXPECT_EQ(frame.voted, rule ? "" : (frame.readings.empty() ? "" : frame.readings[0].text));
        }
        EXPECT_GE(shown, 10) << "the glyph reader reads the drawn number either way";
        if (rule) {
            EXPECT_EQ(Confirmations(frames, kFailing), 0);
        } else {
            EXPECT_GT(Confirmations(frames, kFailing), 0);
        }

        sink.clear();
        ASSERT_TRUE(StoreRunPath(options, valid.path()));
        block.optionsChanged = true;
        block.Run(sink, options);
        EXPECT_GT(Confirmations(sink.frames(), kValid), 0);
    }
}

TEST(CheckDigitVote, TheRuleFollowsTheEngineInUse) {
    // The learned engine's rule is on by default and the glyph engine's off;
    // with the glyph engine in use only the glyph rule counts.
    TestVideo failing(Frames(kFailing, 10));
    VideoThread block;
    RunSettings options;
    options.learnedCheckDigitVote = true;
    options.glyphCheckDigitVote = false;
    ConfigureVote(options, failing.path());
    RecordingSink sink;
    block.optionsChanged = true;
    block.Run(sink, options);
    EXPECT_GT(Confirmations(sink.frames(), kFailing), 0);
}

TEST(EngineChoice, ASwitchDuringTheRunTakesEffectFromTheNextFrameAndRestartsTheVote) {
    TestVideo video(Frames(kValid, 12));
    VideoThread block;
    RunSettings options;
    ConfigureVote(options, video.path());
    RecordingSink sink;
    sink.onFrame = [&](const FrameReport& report) {
        if (report.frameNumber == 5) {
            options.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
            block.ApplyPlan(PlanOf(options));
        }
    };
    block.optionsChanged = true;
    block.Run(sink, options);
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_TRUE(sink.notices().empty()) << sink.notices().front();
    for (const RecordedFrame& frame : frames) {
        const RecognitionEngine expected = frame.frameNumber <= 5 ? RecognitionEngine::Glyph : RecognitionEngine::Learned;
        EXPECT_EQ(frame.engine, expected) << "frame " << frame.frameNumber;
    }
    // Confirmed with the glyph engine by frame 5, then the fresh vote needs
    // three learned readings again: frames 6 and 7 confirm nothing.
    EXPECT_EQ(frames[4].voteCode, 0);
    EXPECT_NE(frames[5].voteCode, 0);
    EXPECT_NE(frames[6].voteCode, 0);
    // The learned engine reads the built-in glyphs too, and confirms them.
    EXPECT_GT(Confirmations({frames.begin() + 5, frames.end()}, kValid), 0);
}

TEST(EngineChoice, AModelThatCannotBeLoadedIsReportedOnceAndTheGlyphEngineReads) {
    ScopedVariable model("KALVERO_LINE_MODEL", "/nonexistent/kalvero-line-model.onnx");
    TestVideo video(Frames(kValid, 8));
    VideoThread block;
    RunSettings options;
    options.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
    ConfigureVote(options, video.path());
    RecordingSink sink;
    block.optionsChanged = true;
    block.Run(sink, options);
    const auto notices = sink.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("/nonexistent/kalvero-line-model.onnx"), std::string::npos) << notices[0];
    const auto frames = sink.frames();
    ASSERT_EQ(frames.size(), 8u);
    for (const RecordedFrame& frame : frames) EXPECT_EQ(frame.engine, RecognitionEngine::Glyph);
    EXPECT_GT(Confirmations(frames, kValid), 0);
}

}  // namespace
}  // namespace kalvero::testing
