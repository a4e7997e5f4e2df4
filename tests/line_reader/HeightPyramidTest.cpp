// The search over digit heights: which levels a range takes, and that rows
// of every height from 10 to 250 pixels are found and read with no height
// given.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/HeightPyramid.h"
#include "line_reader/ReadLines.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawnLineStyle;

TEST(PyramidLevelsFor, TheWholeRangeIsCoveredWithoutGapsAndInOrder) {
    const std::vector<PyramidLevel> levels = PyramidLevelsFor(DigitHeightRange{});
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front().scale, 0.5);
    for (std::size_t i = 1; i < levels.size(); ++i) {
        EXPECT_LE(levels[i].scale, levels[i - 1].scale);
        EXPECT_LT(levels[i].LowestDigit(), levels[i].HighestDigit());
        EXPECT_GT(levels[i].LowestDigit(), levels[i - 1].LowestDigit());
        // Consecutive bands meet or overlap: no height falls between them.
        EXPECT_LE(levels[i].LowestDigit(), levels[i - 1].HighestDigit()) << "level " << i;
    }
    EXPECT_LE(levels.front().LowestDigit(), kMinSearchedDigitHeight);
    EXPECT_GE(levels.back().HighestDigit(), kMaxSearchedDigitHeight);
}

struct RangeCase {
    DigitHeightRange range;
    std::size_t levels;
};

void PrintTo(const RangeCase& c, std::ostream* out) { *out << c.range.min << "-" << c.range.max; }

class PyramidRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(PyramidRange, TakesOnlyTheLevelsWhoseBandsMeetTheRange) {
    const RangeCase& c = GetParam();
    const std::vector<PyramidLevel> levels = PyramidLevelsFor(c.range);
    EXPECT_EQ(levels.size(), c.levels);
    for (const PyramidLevel& level : levels) {
        EXPECT_GE(level.HighestDigit(), c.range.min);
        EXPECT_LE(level.LowestDigit(), c.range.max);
    }
}

INSTANTIATE_TEST_SUITE_P(HeightPyramid, PyramidRange,
                         ::testing::Values(RangeCase{{10, 12}, 1}, RangeCase{{100, 100}, 2},
                                           RangeCase{{23, 23}, 1}, RangeCase{{24, 24}, 2}, RangeCase{{10, 250}, 5},
                                           RangeCase{{20, 10}, 0}, RangeCase{{5000, 6000}, 0},
                                           RangeCase{{0, 0}, 0}));

// A frame of `size` with a row of `digitHeight` pixels in it, off centre.
cv::Mat FrameWithRow(cv::Size size, int digitHeight, bool light, cv::Rect* ink) {
    DrawnLineStyle style;
    style.text = "52473063";
    style.digitHeight = digitHeight;
    style.lightDigits = light;
    const cv::Point2f centre(size.width * 0.55f, size.height * 0.4f);
    return DrawLinePanel(size, centre, style, ink);
}

struct HeightCase {
    int digitHeight;
    cv::Size frame;
    bool light;
};

void PrintTo(const HeightCase& c, std::ostream* out) {
    *out << c.digitHeight << " px in " << c.frame.width << "x" << c.frame.height << (c.light ? " light" : " dark");
}

class AnyHeight : public ::testing::TestWithParam<HeightCase> {};

TEST_P(AnyHeight, TheRowIsProposedWithItsHeightMeasured) {
    const HeightCase& c = GetParam();
    cv::Rect ink;
    const cv::Mat frame = FrameWithRow(c.frame, c.digitHeight, c.light, &ink);
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    const std::vector<LineProposal> proposals = ProposeLinesOverHeights(grey, DigitHeightRange{}, 6);
    ASSERT_FALSE(proposals.empty());
    const LineProposal* best = nullptr;
    for (const LineProposal& p : proposals) {
        if (best == nullptr || BoxIou(p.box, ink) > BoxIou(best->box, ink)) best = &p;
    }
    EXPECT_GE(BoxIou(best->box, ink), 0.6) << best->box << " against " << ink;
    EXPECT_NEAR(best->line.digitHeight, c.digitHeight, 0.2 * c.digitHeight);
    EXPECT_EQ(best->lightDigits, c.light);
}

TEST_P(AnyHeight, TheNumberIsReadWithNoHeightGiven) {
    const HeightCase& c = GetParam();
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    cv::Rect ink;
    const cv::Mat frame = FrameWithRow(c.frame, c.digitHeight, c.light, &ink);
    const std::vector<LineReading> readings = ReadLineReadings(frame, LineReaderSettings{}, *reader);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, "52473063");
    EXPECT_GE(BoxIou(readings.front().box, ink), 0.6);
}

INSTANTIATE_TEST_SUITE_P(HeightPyramid, AnyHeight,
                         ::testing::Values(HeightCase{10, {320, 240}, true}, HeightCase{12, {640, 360}, false},
                                           HeightCase{17, {640, 360}, true}, HeightCase{24, {640, 360}, false},
                                           HeightCase{33, {640, 480}, true}, HeightCase{55, {960, 540}, false},
                                           HeightCase{90, {1280, 720}, true}, HeightCase{131, {1600, 600}, false},
                                           HeightCase{200, {1920, 1080}, true}, HeightCase{250, {2400, 800}, false}));

TEST(ProposeLinesOverHeights, NothingForUnreadableImagesOrAnEmptyRange) {
    cv::Rect ink;
    const cv::Mat frame = FrameWithRow({640, 360}, 30, true, &ink);
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    EXPECT_TRUE(ProposeLinesOverHeights(cv::Mat(), DigitHeightRange{}, 6).empty());
    cv::Mat deep, alpha;
    grey.convertTo(deep, CV_16U, 256.0);
    cv::cvtColor(frame, alpha, cv::COLOR_BGR2BGRA);
    EXPECT_TRUE(ProposeLinesOverHeights(deep, DigitHeightRange{}, 6).empty());
    EXPECT_TRUE(ProposeLinesOverHeights(alpha, DigitHeightRange{}, 6).empty());
    // A colour frame is searched like its grey picture.
    const std::vector<LineProposal> fromColour = ProposeLinesOverHeights(frame, DigitHeightRange{}, 6);
    const std::vector<LineProposal> fromGrey = ProposeLinesOverHeights(grey, DigitHeightRange{}, 6);
    ASSERT_FALSE(fromColour.empty());
    ASSERT_FALSE(fromGrey.empty());
    EXPECT_GE(BoxIou(fromColour.front().box, ink), 0.6);
    EXPECT_GE(BoxIou(fromColour.front().box, fromGrey.front().box), 0.9);
    EXPECT_TRUE(ProposeLinesOverHeights(grey, DigitHeightRange{40, 20}, 6).empty());
    EXPECT_TRUE(ProposeLinesOverHeights(grey, DigitHeightRange{}, 0).empty());
    // Heights the row does not have: nothing of it.
    for (const LineProposal& p : ProposeLinesOverHeights(grey, DigitHeightRange{100, 250}, 6)) {
        EXPECT_LT(BoxIou(p.box, ink), 0.3);
    }
    // Images smaller than any digit, of every shape.
    for (const cv::Size size : {cv::Size(1, 1), cv::Size(5, 400), cv::Size(400, 5), cv::Size(9, 9)}) {
        EXPECT_NO_THROW(ProposeLinesOverHeights(cv::Mat(size, CV_8UC1, cv::Scalar(90)), DigitHeightRange{}, 6));
    }
}

}  // namespace
}  // namespace kalvero
