#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/PassTracker.h"

namespace kalvero {
namespace {

constexpr int kDepth = 10;

// A frame reading `text` with its box at x (40 wide), 25 frames a second.
PassFrame Read(int frame, const std::string& text, int x, float score = 0.9f,
               bool confirmed = false) {
    PassFrame f;
    f.frame = frame;
    f.seconds = (frame - 1) / 25.0;
    f.text = text;
    f.box = cv::Rect(x, 100, 40, 12);
    f.score = score;
    f.confirmed = confirmed;
    return f;
}

PassFrame Nothing(int frame) {
    PassFrame f;
    f.frame = frame;
    f.seconds = (frame - 1) / 25.0;
    return f;
}

// Feeds frames first..last reading `text`, moving `step` pixels a frame,
// confirmed from frame `confirmFrom` on; collects the passes that end.
void Carriage(PassTracker& tracker, std::vector<CarriagePass>& ended, const std::string& text,
              int first, int last, int confirmFrom, int step) {
    for (int f = first; f <= last; ++f) {
        const float score = f == first + 2 ? 0.99f : 0.8f;
        for (CarriagePass& p : tracker.AddFrame(Read(f, text, 300 + step * (f - first), score,
                                                      f >= confirmFrom))) {
            ended.push_back(std::move(p));
        }
    }
}

std::vector<CarriagePass> All(PassTracker& tracker, std::vector<CarriagePass> ended) {
    for (CarriagePass& p : tracker.Finish()) ended.push_back(std::move(p));
    return ended;
}

TEST(PassTracker, TwoCarriagesGiveTwoPassesInOrderWithTheirFramesTimesAndBest) {
    PassTracker tracker("two.avi", kDepth);
    std::vector<CarriagePass> ended;
    Carriage(tracker, ended, "52473063", 1, 20, 5, -6);
    for (int f = 21; f <= 25; ++f) tracker.AddFrame(Nothing(f));
    Carriage(tracker, ended, "12345675", 26, 30, 28, 6);
    // The first carriage ended once the second was confirmed, well within
    // the depth of its last reading.
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].number, "52473063");
    const std::vector<CarriagePass> passes = All(tracker, ended);
    ASSERT_EQ(passes.size(), 2u);
    const CarriagePass& a = passes[0];
    EXPECT_EQ(a.file, "two.avi");
    EXPECT_EQ(a.firstFrame, 1);
    EXPECT_EQ(a.lastFrame, 20);
    EXPECT_DOUBLE_EQ(a.startSeconds, 0.0);
    EXPECT_DOUBLE_EQ(a.endSeconds, 19 / 25.0);
    EXPECT_EQ(a.firstConfirmedFrame, 5);
    EXPECT_EQ(a.FramesRead(), 20);
    EXPECT_EQ(a.readFrames, (std::vector<std::pair<int, int>>{{1, 20}}));
    EXPECT_EQ(a.bestFrame, 3);
    EXPECT_FLOAT_EQ(a.bestScore, 0.99f);
    EXPECT_EQ(a.bestBox, cv::Rect(300 - 12, 100, 40, 12));
    EXPECT_TRUE(a.checkDigit);
    EXPECT_EQ(a.direction, TravelDirection::Left);
    const CarriagePass& b = passes[1];
    EXPECT_EQ(b.number, "12345675");
    EXPECT_EQ(b.firstFrame, 26);
    EXPECT_EQ(b.lastFrame, 30);
    EXPECT_DOUBLE_EQ(b.startSeconds, 1.0);
    EXPECT_EQ(b.firstConfirmedFrame, 28);
    EXPECT_EQ(b.direction, TravelDirection::Right);
}

TEST(PassTracker, StrayAndUnconfirmedReadingsMakeNoPassAndDoNotSplitOne) {
    PassTracker tracker("a.avi", kDepth);
    std::vector<CarriagePass> ended;
    for (int f = 1; f <= 30; ++f) {
        // A misreading now and then, never confirmed, and frames with nothing.
        const PassFrame frame = f % 7 == 0   ? Read(f, "99999997", 100)
                                : f % 5 == 0 ? Nothing(f)
                                             : Read(f, "52473063", 300, 0.8f, f >= 6);
        for (CarriagePass& p : tracker.AddFrame(frame)) ended.push_back(std::move(p));
    }
    const std::vector<CarriagePass> passes = All(tracker, ended);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].number, "52473063");
    EXPECT_EQ(passes[0].firstFrame, 1);
    EXPECT_EQ(passes[0].lastFrame, 29);
    EXPECT_EQ(passes[0].firstConfirmedFrame, 6);
    // Standing still.
    EXPECT_EQ(passes[0].direction, TravelDirection::None);
    EXPECT_EQ(passes[0].readFrames.front(), std::make_pair(1, 4));

    PassTracker never("b.avi", kDepth);
    for (int f = 1; f <= 30; ++f) never.AddFrame(Read(f, "52473063", 300));
    EXPECT_TRUE(never.Finish().empty());
}

TEST(PassTracker, TheSameNumberAgainIsANewPassOnlyAfterAGapOrAnotherCarriage) {
    // Depth frames in a row without the number keep one pass; one more
    // makes two.
    for (const int missing : {kDepth, kDepth + 1}) {
        PassTracker tracker("g.avi", kDepth);
        std::vector<CarriagePass> ended;
        Carriage(tracker, ended, "52473063", 1, 10, 5, -6);
        for (int f = 11; f <= 10 + missing; ++f) tracker.AddFrame(Nothing(f));
        const int again = 11 + missing;
        Carriage(tracker, ended, "52473063", again, again + 10, again, -6);
        const std::vector<CarriagePass> passes = All(tracker, ended);
        ASSERT_EQ(passes.size(), missing == kDepth ? 1u : 2u) << "missing " << missing;
        if (missing == kDepth) {
            EXPECT_EQ(passes[0].readFrames.size(), 2u);
            EXPECT_EQ(passes[0].lastFrame, again + 10);
        } else {
            EXPECT_EQ(passes[0].lastFrame, 10);
            EXPECT_EQ(passes[1].firstFrame, again);
            EXPECT_EQ(passes[1].firstConfirmedFrame, again);
        }
    }
    // A, then B confirmed, then A again within the depth: three passes.
    PassTracker tracker("aba.avi", kDepth);
    std::vector<CarriagePass> ended;
    Carriage(tracker, ended, "52473063", 1, 8, 4, -6);
    Carriage(tracker, ended, "12345675", 9, 16, 12, -6);
    Carriage(tracker, ended, "52473063", 17, 24, 20, -6);
    const std::vector<CarriagePass> passes = All(tracker, ended);
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(passes[0].lastFrame, 8);
    EXPECT_EQ(passes[1].number, "12345675");
    EXPECT_EQ(passes[2].number, "52473063");
    EXPECT_EQ(passes[2].firstFrame, 17);
}

TEST(PassTracker, DirectionNeedsAQuarterOfTheBoxWidthOfTravel) {
    // Boxes 40 wide: 9 pixels over the pass is jitter, 11 is travel.
    EXPECT_EQ(DirectionOf({{1, 100.0}, {2, 104.5}, {3, 109.0}}, 40.0), TravelDirection::None);
    EXPECT_EQ(DirectionOf({{1, 100.0}, {2, 105.5}, {3, 111.0}}, 40.0), TravelDirection::Right);
    EXPECT_EQ(DirectionOf({{1, 111.0}, {2, 105.5}, {3, 100.0}}, 40.0), TravelDirection::Left);
    // One outlier does not turn a steady leftward run around.
    EXPECT_EQ(DirectionOf({{1, 300.0}, {2, 280.0}, {3, 400.0}, {4, 240.0}, {5, 220.0}, {6, 200.0}},
                          40.0),
              TravelDirection::Left);
    EXPECT_EQ(DirectionOf({{7, 300.0}}, 40.0), TravelDirection::None);
}

// The run loop's frame seen by the tracker: the voted text's own box, not
// the best reading's, with the zone origin added; confirmation only of
// that text.
TEST(PassTracker, TakesTheVotedReadingFromTheRunLoopFrame) {
    FrameReport report;
    report.frameNumber = 4;
    report.timestampMs = 120.0;
    report.zone = cv::Rect(10, 20, 300, 100);
    Reading wrong;
    wrong.text = "52473064";
    wrong.box = cv::Rect(1, 0, 0, 0);
    wrong.score = 0.95f;
    Reading right;
    right.text = "52473063";
    right.box = cv::Rect(50, 5, 80, 20);
    right.score = 0.9f;
    report.readings = {wrong, right};
    report.voted = "52473063";
    report.voteCode = 0;
    report.confirmed = "52473063";
    PassFrame f = PassFrameFrom(report);
    EXPECT_EQ(f.frame, 4);
    EXPECT_DOUBLE_EQ(f.seconds, 0.12);
    EXPECT_EQ(f.text, "52473063");
    EXPECT_EQ(f.box, cv::Rect(60, 25, 80, 20));
    EXPECT_FLOAT_EQ(f.score, 0.9f);
    EXPECT_TRUE(f.confirmed);
    report.confirmed = "11111111";
    EXPECT_FALSE(PassFrameFrom(report).confirmed);
    report.voteCode = 1;
    report.confirmed = "52473063";
    EXPECT_FALSE(PassFrameFrom(report).confirmed);
}

}  // namespace
}  // namespace kalvero
