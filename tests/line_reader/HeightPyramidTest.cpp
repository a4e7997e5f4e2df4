// The search over digit heights: which levels a range takes, that every
// height lies well inside a band, and that rows of every height from 10 to
// 250 pixels and generated stills of varied scenes are found and read with
// no height given.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/HeightPyramid.h"
#include "line_reader/ReadLines.h"
#include "recognition_common/CheckDigit.h"
#include "tools/SceneConditions.h"
#include "tools/VariedScene.h"

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

// Blobs are found reliably near the height a level looks for and less so
// toward the ends of its band (thin strokes break up, blurred digits run
// together): every height from where the smallest digits' band thins out
// on must lie within a quarter of some level's own height, not only inside
// its tolerant band.
TEST(PyramidLevelsFor, EveryHeightLiesWellInsideSomeBand) {
    const std::vector<PyramidLevel> levels = PyramidLevelsFor(DigitHeightRange{});
    for (int height = 24; height <= kMaxSearchedDigitHeight; ++height) {
        bool inside = false;
        for (const PyramidLevel& level : levels) {
            const double there = height * level.scale / level.workHeight;
            inside = inside || (there >= 0.75 && there <= 1.33);
        }
        EXPECT_TRUE(inside) << height << " px";
    }
}

// A given height is also searched at the two levels whose own heights
// are nearest it by ratio, in the order of the heights they find.
TEST(NearestPyramidLevels, TheLevelsNearestTheHeightInSearchOrder) {
    const auto own = [](const PyramidLevel& level) { return level.workHeight / level.scale; };
    // Own heights 16, 32, 44, 64, 88, 128, ...
    const std::vector<PyramidLevel> at29 = NearestPyramidLevels(29, 2);
    ASSERT_EQ(at29.size(), 2u);
    EXPECT_DOUBLE_EQ(own(at29[0]), 32.0);
    EXPECT_DOUBLE_EQ(own(at29[1]), 44.0);
    const std::vector<PyramidLevel> at22 = NearestPyramidLevels(22, 2);
    ASSERT_EQ(at22.size(), 2u);
    EXPECT_DOUBLE_EQ(own(at22[0]), 16.0);
    EXPECT_DOUBLE_EQ(own(at22[1]), 32.0);
    const std::vector<PyramidLevel> at250 = NearestPyramidLevels(250, 1);
    ASSERT_EQ(at250.size(), 1u);
    EXPECT_DOUBLE_EQ(own(at250[0]), 256.0);
    // Asked for more than there are: all, in search order.
    const std::vector<PyramidLevel> all = PyramidLevelsFor(DigitHeightRange{1, 1 << 20});
    const std::vector<PyramidLevel> many = NearestPyramidLevels(40, 100);
    ASSERT_EQ(many.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_DOUBLE_EQ(own(many[i]), own(all[i]));
    EXPECT_TRUE(NearestPyramidLevels(40, 0).empty());
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
                                           RangeCase{{19, 19}, 1}, RangeCase{{24, 24}, 2}, RangeCase{{45, 45}, 3},
                                           RangeCase{{10, 250}, 9},
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

// Stills drawn by the sample generator's own varied scenes (paint, light,
// camera and the conditions named), in training fonts and drawn ones, from
// 20 to 60 pixel digits at 640 x 360, read with no height given as the
// reader reads a still with no options.
TEST(NoHeightStills, MostGeneratedStillsAreReadAndNoneWrong) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    const char* const fonts[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                                 "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
                                 "/usr/share/fonts/truetype/liberation2/LiberationMono-Bold.ttf",
                                 "/usr/share/fonts/truetype/croscore/Arimo-Bold.ttf",
                                 "glyph", "stencil", "block-stencil", "hand"};
    const char* const conditions[] = {"", "motion-blur", "dirt", "rain", "graffiti", "", "snow", "night"};
    const int heights[] = {20, 23, 26, 29, 32, 36, 40, 44, 48, 54, 60};
    constexpr int kStills = 128;
    int read = 0;
    int wrong = 0;
    for (int i = 0; i < kStills; ++i) {
        SampleOptions sample;
        sample.seed = static_cast<std::uint64_t>(900 + i);
        sample.digitHeight = heights[i % 11];
        sample.lightDigits = (i / 3) % 2 == 0;
        cv::RNG rng(sample.seed);
        std::string firstSeven;
        for (int d = 0; d < 7; ++d) firstSeven.push_back(static_cast<char>('0' + rng.uniform(0, 10)));
        sample.number = firstSeven + static_cast<char>('0' + ComputeCheckDigit(firstSeven));
        SceneOptions options;
        options.font = fonts[i % 8];
        options.varied = true;
        const std::string condition = conditions[(i / 8) % 8];
        // The sixth round passes every frame through JPEG at quality 20.
        if ((i / 8) % 8 == 5) options.jpegQuality = 20;
        if (!condition.empty()) {
            ASSERT_EQ(ParseConditionList(condition, options.conditions), "");
        }
        VariedScene scene;
        ASSERT_EQ(scene.Build(sample, options), "") << "still " << i;
        LineReaderSettings settings;
        settings.requireCheckDigit = true;
        const std::vector<LineReading> readings = ReadLineReadings(scene.Frame(sample.frames / 2), settings, *reader);
        if (readings.empty()) continue;
        if (readings.front().text == sample.number) {
            ++read;
        } else {
            ++wrong;
            ADD_FAILURE() << "still " << i << " (" << options.font << ", " << sample.digitHeight << " px, "
                          << condition << ") read " << readings.front().text << " for " << sample.number;
        }
    }
    // 115 of 128 with the built-in model; searching digits of 20 pixels at
    // every halving, with no level between, read 106.
    EXPECT_GE(read, 0.87 * kStills);
    EXPECT_EQ(wrong, 0);
}

// The levels of one halving share its smoothed copy; each level searched
// on its own from the halving must give the very same rows.
TEST(ProposeLinesAtLevels, SharingAHalvingsSmoothingChangesNoRow) {
    const cv::Mat frame = FrameWithRow(cv::Size(960, 540), 40, true, nullptr);
    const std::vector<PyramidLevel> levels = PyramidLevelsFor(DigitHeightRange{});
    constexpr int kLines = 40;
    std::vector<LineProposal> alone;
    cv::Mat work = frame;
    double scale = 1.0;
    for (const PyramidLevel& level : levels) {
        while (scale > level.scale && work.rows / 2 >= 0.6 * level.workHeight && work.cols / 2 >= 0.6 * level.workHeight) {
            cv::resize(work, work, cv::Size(work.cols / 2, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
            if (work.channels() == 3) cv::cvtColor(work, work, cv::COLOR_BGR2GRAY);
            scale /= 2.0;
        }
        if (scale > level.scale) break;
        AddLevelProposals(work, level.workHeight, frame.size(), alone, kAveragedInkContrast);
    }
    alone = KeepBestProposals(std::move(alone), kLines);
    const std::vector<LineProposal> shared = ProposeLinesAtLevels(frame, levels, kLines);
    ASSERT_GE(shared.size(), 1u);
    ASSERT_EQ(shared.size(), alone.size());
    for (std::size_t i = 0; i < shared.size(); ++i) {
        EXPECT_EQ(shared[i].box, alone[i].box) << i;
        EXPECT_EQ(shared[i].rank, alone[i].rank) << i;
        EXPECT_EQ(shared[i].lightDigits, alone[i].lightDigits) << i;
    }
}

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
