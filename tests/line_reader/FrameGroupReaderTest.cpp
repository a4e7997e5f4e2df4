// Reading a video's frames in groups: a whole search of every third frame
// and strips around what the searches found in the frames between.
#include <gtest/gtest.h>

#include "DrawnLines.h"
#include "line_reader/FrameGroupReader.h"
#include "line_reader/LineProposals.h"
#include "line_reader/ReadLines.h"

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

TEST(TrackedStrips, ABoxWidenedByItsTravelAndClipped) {
    const cv::Size zone(640, 360);
    // Widened by its width either way and three quarters of its height up
    // and down, then clipped.
    std::vector<TrackedStrip> strips = TrackedStrips({At(cv::Rect(100, 50, 200, 30))}, zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 27, 500, 76));
    EXPECT_EQ(strips[0].digitHeight, 30);
    // Two frames away, by twice its width, or twice a fifth of the zone's
    // width (128) when that is more.
    strips = TrackedStrips({At(cv::Rect(300, 50, 150, 30))}, zone, 2);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 27, 640, 76));
    strips = TrackedStrips({At(cv::Rect(300, 50, 100, 30))}, zone, 2);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(44, 27, 596, 76));
    // A small number in a wide view (48-pixel digits in a 4K frame) moves
    // several of its widths a frame at speed: a fifth of the view, 768.
    strips = TrackedStrips({At(cv::Rect(2884, 1112, 213, 56))}, cv::Size(3840, 2160));
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(2116, 1070, 1724, 140));

    // A tilted line's box is higher than its digits by its rise.
    strips = TrackedStrips({At(cv::Rect(100, 100, 200, 60), static_cast<float>(std::atan(0.15) * 180.0 / CV_PI))},
                           zone);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].digitHeight, 30);

    EXPECT_TRUE(TrackedStrips({At(cv::Rect(100, 50, 200, 30))}, cv::Size()).empty());
    EXPECT_TRUE(TrackedStrips({At(cv::Rect(900, 50, 20, 10))}, zone).empty());  // nowhere near the zone
}

TEST(MergeStrips, OverlappingStripsOfCloseHeightsBecomeOne) {
    const cv::Size zone(640, 360);
    // The same number a frame before and a frame after: one strip around
    // both, at their mean height.
    std::vector<TrackedStrip> strips =
        MergeStrips(TrackedStrips({At(cv::Rect(300, 200, 200, 30)), At(cv::Rect(200, 202, 200, 34))}, zone));
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 176, 640, 86));
    EXPECT_EQ(strips[0].digitHeight, 32);

    // Overlapping, but digits of heights one search does not cover together.
    strips = MergeStrips(TrackedStrips({At(cv::Rect(100, 100, 200, 30)), At(cv::Rect(150, 90, 300, 60))}, zone));
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0].digitHeight, 30);
    EXPECT_EQ(strips[1].digitHeight, 60);

    // A strip merged with one may then overlap a third: all end up as one.
    strips = MergeStrips(TrackedStrips(
        {At(cv::Rect(0, 0, 40, 20)), At(cv::Rect(300, 0, 40, 20)), At(cv::Rect(100, 20, 180, 20))}, zone));
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].box, cv::Rect(0, 0, 468, 55));

    // Apart: kept as they are, in order.
    strips = MergeStrips({TrackedStrip{cv::Rect(0, 0, 10, 10), 8}, TrackedStrip{cv::Rect(20, 0, 10, 10), 9}});
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[1].box, cv::Rect(20, 0, 10, 10));
}

class FrameGroupReaderTest : public ::testing::Test {
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

    // Frames from..to of `frames`, as the zones ahead of frame from - 1.
    static std::vector<cv::Mat> Ahead(const std::vector<cv::Mat>& frames, std::size_t from) {
        return std::vector<cv::Mat>(frames.begin() + static_cast<std::ptrdiff_t>(std::min(from, frames.size())),
                                    frames.end());
    }

    std::unique_ptr<LineReader> network_;
};

std::string Best(const std::vector<LineReading>& readings) {
    return readings.empty() ? std::string() : readings.front().text;
}

TEST_F(FrameGroupReaderTest, AMovingNumberIsReadOnEveryFrameItIsWholeOnAsAWholeSearchReadsIt) {
    // A carriage moving left by 80 pixels (two fifths of its number's
    // width) a frame; whole on frames 2 to 6 only.
    const std::vector<float> centres = {700.0f, 580.0f, 480.0f, 400.0f, 320.0f, 240.0f, 160.0f, -1.0f};
    std::vector<cv::Mat> frames;
    for (std::size_t i = 0; i < centres.size(); ++i) frames.push_back(Frame(centres[i], 10 + i));

    FrameGroupReader groups(*network_, LineReaderSettings{}, 3);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        double frameMs = -1.0;
        const std::vector<LineReading> grouped =
            groups.Read(frames[i], static_cast<long long>(i), Ahead(frames, i + 1), frameMs);
        const std::vector<LineReading> whole = ReadLineReadings(frames[i], LineReaderSettings{}, *network_);
        EXPECT_EQ(Best(grouped), Best(whole));
        if (i >= 2 && i <= 6) {
            EXPECT_EQ(Best(grouped), "41203065");
        }
        if (!grouped.empty() && !whole.empty()) {
            EXPECT_GE(BoxIou(grouped.front().box, whole.front().box), 0.6);
        }
        EXPECT_GT(frameMs, 0.0);
    }
}

TEST_F(FrameGroupReaderTest, AFrameBeforeOneSearchedWholeIsReadOnlyWhereTheSearchesShowedNumbers) {
    const cv::Mat number = Frame(320.0f, 1);
    const cv::Mat empty = Frame(-1.0f, 2);
    ASSERT_EQ(Best(ReadLineReadings(number, LineReaderSettings{}, *network_)), "41203065");

    double frameMs = 0.0;
    {
        // The searches on either side hold nothing, so a number on these
        // frames alone is not looked for: the price of the groups, paid
        // only by a number whole on fewer frames than a streak confirms.
        FrameGroupReader groups(*network_, LineReaderSettings{}, 3);
        EXPECT_TRUE(groups.Read(number, 0, {number, empty}, frameMs).empty());
        EXPECT_TRUE(groups.Read(number, 1, {empty}, frameMs).empty());
        EXPECT_TRUE(groups.Read(empty, 2, {}, frameMs).empty());
    }
    {
        // Found by the search ahead, two frames away: read on the frames
        // before it too.
        FrameGroupReader groups(*network_, LineReaderSettings{}, 3);
        EXPECT_EQ(Best(groups.Read(number, 0, {number, number}, frameMs)), "41203065");
        EXPECT_EQ(Best(groups.Read(number, 1, {number}, frameMs)), "41203065");
        EXPECT_EQ(Best(groups.Read(number, 2, {}, frameMs)), "41203065");
    }
    {
        // With nothing ahead a frame is searched whole.
        FrameGroupReader groups(*network_, LineReaderSettings{}, 3);
        EXPECT_EQ(Best(groups.Read(number, 0, {}, frameMs)), "41203065");
        // So is a frame whose next one is of another size.
        EXPECT_EQ(Best(groups.Read(number, 1, {empty(cv::Rect(0, 0, 320, 360)), empty}, frameMs)), "41203065");
        // A group of one searches every frame whole.
        FrameGroupReader ones(*network_, LineReaderSettings{}, 1);
        EXPECT_EQ(ones.FramesAhead(0), 0);
        EXPECT_EQ(Best(ones.Read(number, 0, {empty, empty}, frameMs)), "41203065");
    }
}

TEST_F(FrameGroupReaderTest, WhatWasSearchedAheadServesOnlyTheFrameItWasSearchedFor) {
    const cv::Mat number = Frame(320.0f, 1);
    const cv::Mat empty = Frame(-1.0f, 2);
    double frameMs = 0.0;

    FrameGroupReader forgotten(*network_, LineReaderSettings{}, 2);
    EXPECT_EQ(Best(forgotten.Read(empty, 0, {number}, frameMs)), "");
    forgotten.Forget();  // a new zone: the frame searched ahead is not the next
    EXPECT_EQ(Best(forgotten.Read(empty, 1, {}, frameMs)), "");

    FrameGroupReader skipped(*network_, LineReaderSettings{}, 2);
    EXPECT_EQ(Best(skipped.Read(empty, 0, {number}, frameMs)), "");
    EXPECT_EQ(Best(skipped.Read(empty, 2, {}, frameMs)), "");  // not frame 1: searched anew

    FrameGroupReader kept(*network_, LineReaderSettings{}, 2);
    EXPECT_EQ(Best(kept.Read(empty, 0, {number}, frameMs)), "");
    EXPECT_EQ(Best(kept.Read(number, 1, {}, frameMs)), "41203065");

    // Frames ahead are wanted only where a group starts.
    FrameGroupReader threes(*network_, LineReaderSettings{}, 3);
    EXPECT_EQ(threes.FramesAhead(0), 2);
    threes.Read(empty, 0, {empty, number}, frameMs);
    EXPECT_EQ(threes.FramesAhead(1), 0);
    EXPECT_EQ(threes.FramesAhead(2), 0);
    EXPECT_EQ(Best(threes.Read(number, 1, {}, frameMs)), "41203065");  // in strips around frame 2's
    EXPECT_EQ(Best(threes.Read(number, 2, {}, frameMs)), "41203065");
    EXPECT_EQ(threes.FramesAhead(3), 2);
}

// Faded paint, twelve grey levels off a grainy ground: the usual whole search
// misses it, the faint search over every height finds it. That search is
// made on the first whole search of a sequence (and one in kFaintEvery of
// those that read nothing); each whole search after it looks again where
// the one before read the number, so every frame of the pass reads it.
// (A number that comes into view later waits for the next faint search.)
TEST_F(FrameGroupReaderTest, AFadedNumberTheFaintSearchFoundIsCarriedFromOneWholeSearchToTheNext) {
    const auto faded = [](float x, std::uint64_t seed) {
        DrawnLineStyle style;
        style.text = "80949167";
        style.font = "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf";
        style.digitHeight = 26;
        style.lightDigits = false;
        style.contrast = 12.0;
        style.noiseSigma = 3.0;
        style.seed = seed;
        return DrawLinePanel(cv::Size(640, 360), cv::Point2f(x, 200.0f), style);
    };
    std::vector<cv::Mat> frames;
    for (int i = 0; i < 12; ++i) frames.push_back(faded(420.0f - 15.0f * i, 30 + i));
    ASSERT_TRUE(ReadLineReadings(frames[5], LineReaderSettings{}, *network_).empty());
    ASSERT_EQ(Best(ReadFaintLineReadings(frames[5], LineReaderSettings{}, *network_)), "80949167");

    FrameGroupReader groups(*network_, LineReaderSettings{}, 3);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        double frameMs = -1.0;
        EXPECT_EQ(Best(groups.Read(frames[i], static_cast<long long>(i), Ahead(frames, i + 1), frameMs)), "80949167");
    }
}

}  // namespace
}  // namespace kalvero
