// Confirmation by consecutive well-scored readings: the rule itself, and the
// run loop using it beside the vote for the learned engine only.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "worker/StreakConfirmation.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

constexpr char kValid[] = "52473063";
constexpr char kOther[] = "50317809";
constexpr char kFailing[] = "52473068";

Reading Read(const std::string& text, float score = 0.99f, cv::Rect box = cv::Rect(10, 10, 80, 20)) {
    Reading reading;
    reading.text = text;
    reading.score = score;
    reading.box = box;
    reading.engine = RecognitionEngine::Learned;
    return reading;
}

// What Take answers frame after frame.
std::vector<std::string> Answers(StreakConfirmation& streaks, const std::vector<std::vector<Reading>>& frames) {
    std::vector<std::string> answers;
    for (const auto& frame : frames) answers.push_back(streaks.Take(frame));
    return answers;
}

TEST(StreakConfirmation, ConfirmsOnTheThirdConsecutiveFrameAndOnlyWhileTheStreakLasts) {
    ASSERT_TRUE(CheckDigitHolds(kValid));
    StreakConfirmation streaks(3, true);
    const std::vector<std::string> answers =
        Answers(streaks, {{Read(kValid)}, {Read(kValid)}, {Read(kValid)}, {Read(kValid)}, {}, {Read(kValid)}});
    EXPECT_EQ(answers, (std::vector<std::string>{"", "", kValid, kValid, "", ""}));
}

TEST(StreakConfirmation, AGapALowScoreOrAnotherTextStartsTheStreakAgain) {
    const float low = StreakConfirmation::kMinScore - 0.01f;
    const std::vector<std::vector<std::vector<Reading>>> broken = {
        {{Read(kValid)}, {Read(kValid)}, {}, {Read(kValid)}, {Read(kValid)}},
        {{Read(kValid)}, {Read(kValid)}, {Read(kValid, low)}, {Read(kValid)}, {Read(kValid)}},
        {{Read(kValid)}, {Read(kValid)}, {Read(kOther)}, {Read(kValid)}, {Read(kValid)}},
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        StreakConfirmation streaks(3, true);
        for (const std::string& answer : Answers(streaks, broken[i])) EXPECT_EQ(answer, "") << "case " << i;
    }
    // A reading exactly at the least score counts.
    StreakConfirmation streaks(3, true);
    const float least = StreakConfirmation::kMinScore;
    EXPECT_EQ(Answers(streaks, {{Read(kValid, least)}, {Read(kValid, least)}, {Read(kValid, least)}}).back(), kValid);
}

TEST(StreakConfirmation, TheCheckDigitRuleKeepsAFailingNumberOutUnlessItIsOff) {
    ASSERT_FALSE(CheckDigitHolds(kFailing));
    const std::vector<std::vector<Reading>> frames(4, std::vector<Reading>{Read(kFailing)});
    StreakConfirmation ruled(3, true);
    EXPECT_EQ(Answers(ruled, frames), (std::vector<std::string>(4, "")));
    StreakConfirmation free(3, false);
    EXPECT_EQ(Answers(free, frames).back(), kFailing);
    // Readings of other lengths never count.
    StreakConfirmation lengths(1, false);
    EXPECT_EQ(lengths.Take({Read("5247306"), Read("524730631")}), "");
}

TEST(StreakConfirmation, UnderTheRuleADoubtTheCheckDigitSettlesCounts) {
    // Scored low, but the one doubtful digit is settled by the check digit.
    const float low = StreakConfirmation::kMinScore - 0.3f;
    Reading settled = Read(kValid, low);
    settled.checkedScore = 0.99f;
    const std::vector<std::vector<Reading>> frames(3, std::vector<Reading>{settled});
    StreakConfirmation ruled(3, true);
    EXPECT_EQ(Answers(ruled, frames).back(), kValid);
    // Without the rule the score alone counts.
    StreakConfirmation free(3, false);
    EXPECT_EQ(Answers(free, frames).back(), "");
    // A checked score that stays low does not help.
    settled.checkedScore = StreakConfirmation::kMinScore - 0.01f;
    StreakConfirmation doubtful(3, true);
    EXPECT_EQ(Answers(doubtful, std::vector<std::vector<Reading>>(3, std::vector<Reading>{settled})).back(), "");
}

TEST(StreakConfirmation, ANumberPaintedTwiceInOneFrameCountsOnce) {
    StreakConfirmation streaks(3, true);
    const std::vector<Reading> twice = {Read(kValid, 0.99f, {10, 10, 80, 20}), Read(kValid, 0.95f, {300, 12, 80, 20})};
    EXPECT_EQ(Answers(streaks, {twice, twice, twice}), (std::vector<std::string>{"", "", kValid}));
}

TEST(StreakConfirmation, OfTwoNumbersTheLongerStreakThenTheBetterScoreIsConfirmed) {
    StreakConfirmation streaks(2, true);
    EXPECT_EQ(Answers(streaks, {{Read(kValid)}, {Read(kValid), Read(kOther, 0.999f)}, {Read(kOther, 0.999f), Read(kValid)}}),
              (std::vector<std::string>{"", kValid, kValid}));
    StreakConfirmation tie(2, true);
    EXPECT_EQ(Answers(tie, {{Read(kValid, 0.9f), Read(kOther, 0.95f)}, {Read(kValid, 0.9f), Read(kOther, 0.95f)}}).back(),
              kOther);
}

TEST(StreakConfirmation, OneFrameSufficesWhenAskedAndNoFramesNeverConfirm) {
    StreakConfirmation one(1, true);
    EXPECT_EQ(one.Take({Read(kValid)}), kValid);
    StreakConfirmation never(0, true);
    EXPECT_EQ(Answers(never, std::vector<std::vector<Reading>>(5, {Read(kValid)})), std::vector<std::string>(5, ""));
}

// The run loop: a video whose number is in view for `shown` frames from
// frame `first` on, the rest plain; the learned engine, the vote of the
// window (depth 30, threshold 5), the given streak and digit height (0:
// none).
std::vector<RecordedFrame> RunShownFor(int shown, int streak, RecognitionEngine engine, int digitHeight = 29,
                                       int first = 5) {
    const cv::Size size(320, 240);
    std::vector<cv::Mat> frames = PlainFrames(size, 12);
    const std::vector<cv::Mat> number = NumberFrames(size, shown, kValid, 29, cv::Point(40, 100));
    for (int i = 0; i < shown; ++i) {
        frames[static_cast<std::size_t>(first - 1 + i)] = number[static_cast<std::size_t>(i)];
    }
    TestVideo video(frames);
    VideoThread block;
    RunSettings options;
    Configure(options, video.path(), cv::Rect(cv::Point(0, 0), size));
    options.engine = static_cast<std::int32_t>(engine);
    options.confirmStreak = streak;
    options.numberH = digitHeight;
    RecordingSink sink;
    block.optionsChanged = true;
    block.Run(sink, options);
    return sink.frames();
}

std::vector<int> ConfirmedFrames(const std::vector<RecordedFrame>& frames) {
    std::vector<int> confirmed;
    for (const RecordedFrame& frame : frames) {
        if (frame.voteCode == 0) {
            EXPECT_EQ(frame.confirmed, kValid) << "frame " << frame.frameNumber;
            confirmed.push_back(frame.frameNumber);
        }
    }
    return confirmed;
}

TEST(StreakConfirmationRun, ANumberSeenOnThreeFramesIsConfirmedOnTheThird) {
    const std::vector<RecordedFrame> frames = RunShownFor(3, 3, RecognitionEngine::Learned);
    ASSERT_EQ(frames.size(), 12u);
    for (int f = 5; f <= 7; ++f) {
        ASSERT_FALSE(frames[static_cast<std::size_t>(f - 1)].readings.empty()) << "frame " << f;
        EXPECT_EQ(frames[static_cast<std::size_t>(f - 1)].readings.front().text, kValid) << "frame " << f;
    }
    EXPECT_EQ(ConfirmedFrames(frames), std::vector<int>{7});
}

TEST(StreakConfirmationRun, ANumberSeenOnceOrTwiceIsNeverConfirmed) {
    for (const int shown : {1, 2}) {
        // From frame 6 on: the engine reads a file's frames in groups of
        // three, the third of each searched whole, so a number on frame 6
        // alone is read (one on frame 5 alone, between two searches that
        // found nothing, would not even be looked for).
        const std::vector<RecordedFrame> frames = RunShownFor(shown, 3, RecognitionEngine::Learned, 29, 6);
        ASSERT_EQ(frames.size(), 12u);
        for (int f = 6; f < 6 + shown; ++f) {
            const std::vector<Reading>& readings = frames[static_cast<std::size_t>(f - 1)].readings;
            EXPECT_EQ(readings.empty() ? "" : readings.front().text, kValid) << shown << ", frame " << f;
        }
        EXPECT_TRUE(ConfirmedFrames(frames).empty()) << "shown on " << shown << " frames";
    }
}

TEST(StreakConfirmationRun, WithoutAStreakTheVoteAloneDecides) {
    // The window's setting: three frames are below the vote's threshold of 5.
    EXPECT_TRUE(ConfirmedFrames(RunShownFor(3, 0, RecognitionEngine::Learned)).empty());
    // Five are enough for the vote, on the fifth.
    EXPECT_EQ(ConfirmedFrames(RunShownFor(5, 0, RecognitionEngine::Learned)).front(), 9);
    // The glyph engine keeps its vote whatever the streak setting.
    const std::vector<RecordedFrame> glyph = RunShownFor(3, 3, RecognitionEngine::Glyph);
    ASSERT_EQ(glyph.size(), 12u);
    EXPECT_EQ(glyph[6].engine, RecognitionEngine::Glyph);
    EXPECT_TRUE(ConfirmedFrames(glyph).empty());
}

// Without a digit height the learned engine reads a file's frames in groups
// of three: the third searched whole while the first is read, the first two
// where the searches on either side showed numbers.
std::vector<int> FramesRead(const std::vector<RecordedFrame>& frames) {
    std::vector<int> read;
    for (const RecordedFrame& frame : frames) {
        if (frame.readings.empty()) continue;
        EXPECT_EQ(frame.readings.front().text, kValid) << "frame " << frame.frameNumber;
        read.push_back(frame.frameNumber);
    }
    return read;
}

TEST(FrameGroupsRun, EachFrameGivesItsOwnReadingsAndThreeFramesConfirm) {
    // Frames 3, 6, 9 and 12 are searched whole (while 1, 4, 7 and 10 are
    // read); 5 is read in strips around what 3 and 6 showed, 7 around what
    // 6 and 9 showed.
    std::vector<RecordedFrame> frames = RunShownFor(3, 3, RecognitionEngine::Learned, 0);
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
    frames = RunShownFor(1, 3, RecognitionEngine::Learned, 0);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_TRUE(FramesRead(frames).empty());
}

}  // namespace
}  // namespace kalvero::testing
