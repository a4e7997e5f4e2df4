// Reading a video's frames in pairs: a whole search of every other frame
// and strips around what it found in the frames between.
#include <gtest/gtest.h>

#include "DrawnLines.h"
#include "line_reader/FramePairReader.h"
#include "line_reader/LineProposals.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawnLineStyle;

LineReading At(cv::Rect box, float angleDegrees = 0.0f) {
    LineReading reading;
    reading.text = "41203065";
    reading.box = box;
    reading.angleDegrees = angleDegrees;
    return reading;
}

TEST(TrackedStrips, ABoxWidenedByItsTravelClippedAndMergedWithItsNeighboursOnly) {
    const cv::Size zone(640, 360);
    // Widened by its width either way and three quarters of its height up
    // and down, then clipped.
    std::vector<TrackedStrip> strips = TrackedStrips({At(cv::Rect(100, 50, 200, 30))}, zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 27, 500, 76));
    EXPECT_EQ(strips[0].digitHeight, 30);

    // The same number a frame before and a frame after: one strip around
    // both, at their mean height.
    strips = TrackedStrips({At(cv::Rect(300, 200, 200, 30)), At(cv::Rect(200, 202, 200, 34))}, zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 176, 640, 86));
    EXPECT_EQ(strips[0].digitHeight, 32);

    // Overlapping, but digits of heights one search does not cover together.
    strips = TrackedStrips({At(cv::Rect(100, 100, 200, 30)), At(cv::Rect(150, 90, 300, 60))}, zone);
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0].digitHeight, 30);
    EXPECT_EQ(strips[1].digitHeight, 60);

    // A strip merged with one may then overlap a third: all end up as one.
    strips = TrackedStrips({At(cv::Rect(0, 0, 40, 20)), At(cv::Rect(300, 0, 40, 20)), At(cv::Rect(100, 20, 180, 20))},
                           zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 0, 460, 55));

    // A tilted line's box is higher than its digits by its rise.
    strips = TrackedStrips({At(cv::Rect(100, 100, 200, 60), static_cast<float>(std::atan(0.15) * 180.0 / CV_PI))},
                           zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].digitHeight, 30);

    EXPECT_TRUE(TrackedStrips({At(cv::Rect(100, 50, 200, 30))}, cv::Size()).empty());
    EXPECT_TRUE(TrackedStrips({At(cv::Rect(900, 50, 20, 10))}, zone).empty());  // nowhere near the zone
}

class FramePairReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        network_ = LineReader::Create(error);
        ASSERT_NE(network_, nullptr) << error;
    }

    // A 640 x 360 frame with the number's middle at `x` (none when x < 0).
    static cv::Mat Frame(float x, std::uint64_t seed) {
        DrawnLineStyle style;
        style.seed = seed;
        if (x < 0.0f) style.text = "";
        return DrawLinePanel(cv::Size(640, 360), cv::Point2f(x < 0.0f ? 320.0f : x, 200.0f), style);
    }

    std::unique_ptr<LineReader> network_;
};

std::string Best(const std::vector<LineReading>& readings) {
    return readings.empty() ? std::string() : readings.front().text;
}

TEST_F(FramePairReaderTest, AMovingNumberIsReadOnEveryFrameItIsWholeOnAsAWholeSearchReadsIt) {
    // A carriage moving left by a third of its number's width a frame;
    // whole on frames 1 to 5 only.
    const std::vector<float> centres = {700.0f, 520.0f, 440.0f, 360.0f, 280.0f, 200.0f, -60.0f};
    std::vector<cv::Mat> frames;
    for (std::size_t i = 0; i < centres.size(); ++i) frames.push_back(Frame(centres[i], 10 + i));

    FramePairReader pairs(*network_, LineReaderSettings{});
    double aheadTotal = 0.0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        const cv::Mat next = i + 1 < frames.size() ? frames[i + 1] : cv::Mat();
        double aheadMs = -1.0;
        const std::vector<LineReading> paired = pairs.Read(frames[i], static_cast<long long>(i), next, aheadMs);
        const std::vector<LineReading> whole = ReadLineReadings(frames[i], LineReaderSettings{}, *network_);
        EXPECT_EQ(Best(paired), Best(whole));
        if (i >= 1 && i <= 5) {
            EXPECT_EQ(Best(paired), "41203065");
        }
        if (!paired.empty() && !whole.empty()) {
            EXPECT_GE(BoxIou(paired.front().box, whole.front().box), 0.6);
        }
        // Every even frame searched the next whole; every odd one was
        // searched by the call before, the last one has nothing ahead.
        if (i % 2 == 0 && i + 1 < frames.size()) {
            EXPECT_GT(aheadMs, 0.0);
        } else {
            EXPECT_EQ(aheadMs, 0.0);
        }
        aheadTotal += aheadMs;
    }
    EXPECT_GT(aheadTotal, 0.0);
}

TEST_F(FramePairReaderTest, AFrameBeforeOneSearchedWholeIsReadOnlyWhereItsNeighboursShowedNumbers) {
    const cv::Mat number = Frame(320.0f, 1);
    const cv::Mat empty = Frame(-1.0f, 2);
    ASSERT_EQ(Best(ReadLineReadings(number, LineReaderSettings{}, *network_)), "41203065");

    double aheadMs = 0.0;
    {
        // Its neighbours hold nothing, so a number on this frame alone is
        // not looked for: the price of the pairs, paid only by a number
        // whole on one frame (which could never be confirmed anyway).
        FramePairReader pairs(*network_, LineReaderSettings{});
        EXPECT_TRUE(pairs.Read(number, 0, empty, aheadMs).empty());
        EXPECT_TRUE(pairs.Read(empty, 1, cv::Mat(), aheadMs).empty());
    }
    {
        // With nothing ahead it is searched whole.
        FramePairReader pairs(*network_, LineReaderSettings{});
        EXPECT_EQ(Best(pairs.Read(number, 0, cv::Mat(), aheadMs)), "41203065");
        EXPECT_EQ(aheadMs, 0.0);
        // So is a frame whose next one is of another size.
        EXPECT_EQ(Best(pairs.Read(number, 1, empty(cv::Rect(0, 0, 320, 360)), aheadMs)), "41203065");
    }
}

TEST_F(FramePairReaderTest, WhatWasSearchedAheadServesOnlyTheFrameItWasSearchedFor) {
    const cv::Mat number = Frame(320.0f, 1);
    const cv::Mat empty = Frame(-1.0f, 2);
    double aheadMs = 0.0;

    FramePairReader pairs(*network_, LineReaderSettings{});
    EXPECT_EQ(Best(pairs.Read(empty, 0, number, aheadMs)), "");
    pairs.Forget();  // a new zone: the frame searched ahead is not the next
    EXPECT_EQ(Best(pairs.Read(empty, 1, cv::Mat(), aheadMs)), "");

    FramePairReader skipped(*network_, LineReaderSettings{});
    EXPECT_EQ(Best(skipped.Read(empty, 0, number, aheadMs)), "");
    EXPECT_EQ(Best(skipped.Read(empty, 2, cv::Mat(), aheadMs)), "");  // not frame 1: searched anew

    FramePairReader kept(*network_, LineReaderSettings{});
    EXPECT_EQ(Best(kept.Read(empty, 0, number, aheadMs)), "");
    EXPECT_EQ(Best(kept.Read(number, 1, cv::Mat(), aheadMs)), "41203065");
}

}  // namespace
}  // namespace kalvero
