// The learned engine in the run loop: a video's frames read in groups, with
// a digit height given as with none.
#include <gtest/gtest.h>

#include "DrawnLines.h"
#include "line_reader/LearnedZoneReader.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawnLineStyle;

class LearnedZoneReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        network_ = LineReader::Create(error);
        ASSERT_NE(network_, nullptr) << error;
    }

    // A 640 x 360 frame with the number (29-pixel digits) in the middle, or
    // none.
    static cv::Mat Frame(bool number, std::uint64_t seed) {
        DrawnLineStyle style;
        style.seed = seed;
        if (!number) style.text = "";
        return DrawLinePanel(cv::Size(640, 360), cv::Point2f(320.0f, 200.0f), style);
    }

    std::unique_ptr<LineReader> network_;
};

std::string Best(const std::vector<Reading>& readings) {
    return readings.empty() ? std::string() : readings.front().text;
}

TEST_F(LearnedZoneReaderTest, FramesAreReadInGroupsWithAHintAsWithout) {
    const cv::Mat number = Frame(true, 1);
    for (const int hint : {0, 29}) {
        SCOPED_TRACE(hint);
        LearnedZoneReader zones(*network_, LineReaderSettings{});
        double frameMs = 0.0;
        // A group's first frame asks for the two after it and has the last
        // searched whole; the frames before it are read where that search
        // found the number.
        EXPECT_EQ(zones.FramesAhead(0, hint), 2);
        EXPECT_EQ(Best(zones.ReadInSequence(number, 0, {number, number}, hint, frameMs)), "41203065");
        EXPECT_EQ(zones.FramesAhead(1, hint), 0);
        EXPECT_EQ(Best(zones.ReadInSequence(number, 1, {}, hint, frameMs)), "41203065");
        EXPECT_EQ(Best(zones.ReadInSequence(number, 2, {}, hint, frameMs)), "41203065");
        EXPECT_EQ(zones.FramesAhead(3, hint), 2);
        EXPECT_GT(frameMs, 0.0);
    }
}

TEST_F(LearnedZoneReaderTest, AnotherHintStartsANewSequence) {
    const cv::Mat number = Frame(true, 3);
    const cv::Mat empty = Frame(false, 4);
    double frameMs = 0.0;
    {
        // The same hint: frame 1 is read only where the searches of frames 0
        // and 2 found numbers, and they found none.
        LearnedZoneReader zones(*network_, LineReaderSettings{});
        EXPECT_EQ(Best(zones.ReadInSequence(empty, 0, {number, empty}, 29, frameMs)), "");
        EXPECT_EQ(Best(zones.ReadInSequence(number, 1, {}, 29, frameMs)), "");
    }
    {
        // Another hint on frame 1: what was searched ahead at the old one is
        // let go, and frame 1 is a new sequence's first, searched whole.
        LearnedZoneReader zones(*network_, LineReaderSettings{});
        EXPECT_EQ(Best(zones.ReadInSequence(empty, 0, {number, empty}, 29, frameMs)), "");
        EXPECT_EQ(zones.FramesAhead(1, 29), 0);
        EXPECT_EQ(zones.FramesAhead(1, 25), 2);
        EXPECT_EQ(Best(zones.ReadInSequence(number, 1, {}, 25, frameMs)), "41203065");
    }
}

}  // namespace
}  // namespace kalvero
