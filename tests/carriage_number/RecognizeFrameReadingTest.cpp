// End-to-end: carriage numbers drawn with the built-in glyphs on a textured
// panel, read through the whole frame recognition.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include <opencv2/core.hpp>

#include "detection/GlyphTemplateBank.h"
#include "detection/RecognizeFrame.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

struct Panel {
    cv::Mat zone;
    cv::Rect numberBox;
};

// A 640 x 360 zone with the number; `place` varies position and texture.
Panel MakePanel(const std::string& number, int h, double gap, bool light, bool noisy, int place) {
    PanelStyle look;
    look.number = number;
    look.digitHeight = h;
    look.gapFraction = gap;
    look.lightDigits = light;
    look.seed = static_cast<std::uint64_t>(1 + place + 17 * h);
    if (noisy) {
        look.blurSigma = 0.8;
        look.noiseSigma = 6.0;
    }
    Panel panel;
    panel.zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(120 + 7 * place, 140 + 3 * place),
                                 look, &panel.numberBox);
    return panel;
}

FrameResult Read(const Panel& panel, int h) {
    RecognitionSettings settings;
    settings.digitHeight = h;
    return RecognizeFrame(panel.zone, settings);
}

// The reading's box holds the drawn glyphs (their one-pixel empty margins
// and edge pixels aside) and stays within a glyph width and a digit height
// of them.
::testing::AssertionResult BoxAroundNumber(const FrameResultEntry& e, const cv::Rect& drawn,
                                           int h) {
    const cv::Rect box(e.x, e.y, e.width, e.height);
    const cv::Rect inner(drawn.x + 3, drawn.y + 2, drawn.width - 6, drawn.height - 4);
    const int W = GlyphWidthFor(h);
    const cv::Rect outer(drawn.x - W, drawn.y - h, drawn.width + 2 * W, drawn.height + 2 * h);
    if ((box & inner) == inner && (box & outer) == box) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "box " << box << " for number drawn at " << drawn;
}

// number, placement, digit height, gap in glyph widths, light digits, noisy.
using ReadingCase = std::tuple<std::string, int, int, double, bool, bool>;

class CarriageNumberReading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(CarriageNumberReading, BestReadingIsTheNumber) {
    const auto& [number, place, h, gap, light, noisy] = GetParam();
    const Panel panel = MakePanel(number, h, gap, light, noisy, place);
    const FrameResult result = Read(panel, h);
    ASSERT_GT(result.count(), 0);
    EXPECT_EQ(std::string(result.entries[0].name), number);
    EXPECT_TRUE(BoxAroundNumber(result.entries[0], panel.numberBox, h));
}

std::string CaseName(const ::testing::TestParamInfo<ReadingCase>& info) {
    const auto& [number, place, h, gap, light, noisy] = info.param;
    return "n" + number + "_h" + std::to_string(h) + "_gap" +
           std::to_string(static_cast<int>(gap * 100)) + (light ? "_light" : "_dark") +
           (noisy ? "_noisy" : "_clean");
}

const auto kHeights = ::testing::Values(24, 29, 40);
const auto kGaps = ::testing::Values(0.25, 0.33);
const auto kPolarity = ::testing::Bool();
const auto kNoise = ::testing::Bool();

// Numbers without a one, and with ones inside the number (the 1 is never
// matched: it is inserted where the column profile shows a band).
INSTANTIATE_TEST_SUITE_P(Plain, CarriageNumberReading,
                         ::testing::Combine(::testing::Values("52473068"), ::testing::Values(0),
                                            kHeights, kGaps, kPolarity, kNoise),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(OneInside, CarriageNumberReading,
                         ::testing::Combine(::testing::Values("24681357"), ::testing::Values(3),
                                            kHeights, kGaps, kPolarity, kNoise),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Mixed, CarriageNumberReading,
                         ::testing::Combine(::testing::Values("70356942", "60295837"),
                                            ::testing::Values(4), kHeights, kGaps, kPolarity,
                                            kNoise),
                         CaseName);
// Two ones, at a quarter glyph width apart.
INSTANTIATE_TEST_SUITE_P(TwoOnes, CarriageNumberReading,
                         ::testing::Combine(::testing::Values("93418210"), ::testing::Values(1),
                                            kHeights, ::testing::Values(0.25), kPolarity, kNoise),
                         CaseName);

// Seven digits are not a carriage number, however they are painted.
struct SevenDigitCase {
    int h;
    double gap;
    bool light;
};

class SevenDigits : public ::testing::TestWithParam<SevenDigitCase> {};

TEST_P(SevenDigits, GiveNoReading) {
    const SevenDigitCase c = GetParam();
    const Panel panel = MakePanel("5247306", c.h, c.gap, c.light, false, 0);
    EXPECT_EQ(Read(panel, c.h).count(), 0) << "h " << c.h << " gap " << c.gap;
}

INSTANTIATE_TEST_SUITE_P(CarriageNumberReading, SevenDigits,
                         ::testing::Values(SevenDigitCase{29, 0.25, true},
                                           SevenDigitCase{29, 0.33, true},
                                           SevenDigitCase{40, 0.25, true},
                                           SevenDigitCase{40, 0.33, true},
                                           SevenDigitCase{24, 0.25, false}));

}  // namespace
}  // namespace kalvero
