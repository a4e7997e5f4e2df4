#include "recognizers/TrafficSignRecognition.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"
#include "recognizers/RecognitionContext.h"
#include "support/SignFixtures.h"

namespace kalvero {
namespace {

using Sign = TrafficSignRecognition;

// Dispatches `region` of `image` as a context with the code list {100}
// would; returns the context with its readings.
RecognitionContext Dispatch(const cv::Mat& image, const CandidateRegion& region,
                            std::int32_t contextCode = kSignTypeCode) {
    GlyphTemplateBank bank(image);
    RecognitionContext context(1, &contextCode);
    context.DispatchRegion(bank, region);
    return context;
}

std::string ReadingOf(const RecognitionContext& context) {
    return context.resultTexts.empty() ? std::string("<none>") : context.resultTexts.front();
}

// ------------------------------------------------------- glyphs of known shape

// Draws digit `digit` as dark ink on a light grey image so that its 5 x 10
// ink-density grid is close to the digit's prototype: each cell of
// `cell` x `cell` pixels is inked up to the prototype's fraction, row by row
// from its top. A left edge, the top row of every cell row and the bottom
// row are always inked so the glyph is one blob spanning the whole box.
void DrawPrototypeGlyph(cv::Mat& grey, cv::Point topLeft, int digit, int cell = 12, int inkGrey = 20) {
    cv::Mat ink(10 * cell, 5 * cell, CV_8UC1, cv::Scalar(0));
    ink.col(0).setTo(1);
    for (int row = 0; row < 10; ++row)
        ink.row(row * cell).setTo(1);
    ink.row(ink.rows - 1).setTo(1);

    const ZoneGrid& prototype = Sign::DigitPrototype(digit);
    for (int row = 0; row < 10; ++row) {
        for (int col = 0; col < 5; ++col) {
            cv::Mat block = ink(cv::Rect(col * cell, row * cell, cell, cell));
            const int target = static_cast<int>(std::lround(prototype[row * 5 + col] * cell * cell));
            int inked = cv::countNonZero(block);
            for (int p = 0; p < cell * cell && inked < target; ++p) {
                uchar& pixel = block.at<uchar>(p / cell, p % cell);
                if (pixel == 0) {
                    pixel = 1;
                    ++inked;
                }
            }
        }
    }
    grey(cv::Rect(topLeft, ink.size())).setTo(inkGrey, ink);
}

// A 250 x 250 light image read as one sign region: the inset is
// (25, 25, 200, 200), and glyphs of 60 x 120 are digit-sized in it.
struct GlyphSign {
    cv::Mat grey{250, 250, CV_8UC1, cv::Scalar(235)};
    CandidateRegion region{0, 0, 250, 250, kSignTypeCode};
};

TEST(TrafficSignReadSign, TwoDigitsAreReadLeftToRight) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 65}, 5);
    DrawPrototypeGlyph(sign.grey, {135, 65}, 0);
    const RecognitionContext context = Dispatch(sign.grey, sign.region);
    ASSERT_EQ(ReadingOf(context), "50");
    const RecognitionResult& result = context.results.front();
    EXPECT_EQ(result.typeCode, kSignTypeCode);
    EXPECT_STREQ(result.text, "50");
    EXPECT_EQ(result.glyphScoreCount, 2);
    EXPECT_GT(result.glyphScores[0], 0.9f);
    EXPECT_GT(result.glyphScores[1], 0.9f);
    EXPECT_LT(result.glyphScores[0], 1.0f);
    EXPECT_EQ(result.rankValue, (result.glyphScores[0] + result.glyphScores[1]) * 0.5f);
    EXPECT_EQ(result.score, 0.0f);
    EXPECT_EQ(cv::Rect(result.x, result.y, result.width, result.height), cv::Rect(0, 0, 250, 250));
}

// Contours are found from the top down; raise either digit in turn.
class RaisedDigit : public ::testing::TestWithParam<int> {};

TEST_P(RaisedDigit, OrderFollowsPositionNotContourOrder) {
    const int rightY = GetParam();
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 130 - rightY}, 5);
    DrawPrototypeGlyph(sign.grey, {135, rightY}, 0);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "50") << rightY;
}

INSTANTIATE_TEST_SUITE_P(TrafficSignReadSign, RaisedDigit, ::testing::Values(35, 95));

TEST(TrafficSignReadSign, SwappedDigitsReadInPlaceOrder) {
    GlyphSign swapped;
    DrawPrototypeGlyph(swapped.grey, {135, 35}, 5);
    DrawPrototypeGlyph(swapped.grey, {55, 95}, 0);
    const RecognitionContext context = Dispatch(swapped.grey, swapped.region);
    ASSERT_EQ(ReadingOf(context), "5");  // 0 then 5
    EXPECT_EQ(context.results.front().glyphScoreCount, 2);
}

TEST(TrafficSignReadSign, SingleDigitMustBeFive) {
    GlyphSign five;
    DrawPrototypeGlyph(five.grey, {95, 65}, 5);
    const RecognitionContext context = Dispatch(five.grey, five.region);
    ASSERT_EQ(ReadingOf(context), "5");
    EXPECT_EQ(context.results.front().glyphScoreCount, 1);
    EXPECT_EQ(context.results.front().rankValue, context.results.front().glyphScores[0]);

    GlyphSign seven;
    DrawPrototypeGlyph(seven.grey, {95, 65}, 7);
    EXPECT_EQ(ReadingOf(Dispatch(seven.grey, seven.region)), "<none>");
}

TEST(TrafficSignReadSign, ValuesThatAreNoSpeedLimitAreRefused) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 65}, 3);
    DrawPrototypeGlyph(sign.grey, {135, 65}, 5);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "<none>");
}

TEST(TrafficSignReadSign, ThreeDigitsGiveNoReading) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {30, 75}, 5, 10);
    DrawPrototypeGlyph(sign.grey, {95, 75}, 0, 10);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "50");
    DrawPrototypeGlyph(sign.grey, {160, 75}, 0, 10);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "<none>");
}

TEST(TrafficSignReadSign, OnlyTheInsetIsRead) {
    // A dark frame around the digit encloses it in one outer contour when
    // it lies inside the inset; in the border of the region it is left out.
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {95, 65}, 5);
    cv::rectangle(sign.grey, cv::Rect(30, 30, 190, 190), cv::Scalar(20), 6);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "<none>");  // inset 25..224
    const CandidateRegion framed{15, 15, 220, 220, kSignTypeCode};     // inset 37..212
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, framed)), "5");
}

TEST(TrafficSignReadSign, ThresholdIsTheLowerEdgeOfTheOtsuBin) {
    // Grey 40 and 41 share the histogram bin 10 (of 64), so the threshold is
    // 40: the digit at 40 is ink, the frame at 41 around it is not.
    GlyphSign sign;
    sign.grey.setTo(200);
    DrawPrototypeGlyph(sign.grey, {95, 65}, 5, 12, 40);
    cv::rectangle(sign.grey, cv::Rect(30, 30, 190, 190), cv::Scalar(41), 6);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "5");
    cv::rectangle(sign.grey, cv::Rect(30, 30, 190, 190), cv::Scalar(40), 6);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "<none>");
}

TEST(TrafficSignReadSign, RegionsOutsideTheImageAreHandled) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 65}, 5);
    DrawPrototypeGlyph(sign.grey, {135, 65}, 0);

    // Reaching past the right edge: read on the part inside the image.
    CandidateRegion wide = sign.region;
    wide.width = 300;  // inset (30, 25, 240, 200), clipped to 220 wide
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, wide)), "50");

    for (const cv::Rect box : {cv::Rect(300, 0, 100, 100), cv::Rect(-200, -200, 100, 100),
                               cv::Rect(0, 0, 0, 250), cv::Rect(0, 0, 250, -5),
                               cv::Rect(10, 10, 4, 4)}) {
        CandidateRegion region{box.x, box.y, box.width, box.height, kSignTypeCode};
        EXPECT_EQ(ReadingOf(Dispatch(sign.grey, region)), "<none>") << box;
    }
}

class UniformRegion : public ::testing::TestWithParam<int> {};

TEST_P(UniformRegion, GivesNoReading) {
    const cv::Mat grey(250, 250, CV_8UC1, cv::Scalar(GetParam()));
    EXPECT_EQ(ReadingOf(Dispatch(grey, GlyphSign().region)), "<none>") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(TrafficSignReadSign, UniformRegion, ::testing::Values(0, 128, 255));

TEST(TrafficSignReadSign, OnlySignRegionsOfASignContextAreRead) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 65}, 5);
    DrawPrototypeGlyph(sign.grey, {135, 65}, 0);
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region)), "50");
    // A context whose code list holds no sign code admits no sign region.
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, sign.region, 301)), "<none>");
}

class OtherRegionType : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(OtherRegionType, IsNotReadAsASign) {
    GlyphSign sign;
    DrawPrototypeGlyph(sign.grey, {55, 65}, 5);
    DrawPrototypeGlyph(sign.grey, {135, 65}, 0);
    CandidateRegion region = sign.region;
    region.typeCode = GetParam();
    EXPECT_EQ(ReadingOf(Dispatch(sign.grey, region)), "<none>") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(TrafficSignReadSign, OtherRegionType,
                         ::testing::Values(0, 1, 99, 101, 299));

// -------------------------------------------------------- drawn speed signs

struct SignCase {
    int fontFace;
    double condense;
};

class TrafficSignDrawnSigns
    : public ::testing::TestWithParam<std::tuple<SignCase, int, int>> {};

// Signs with a red ring and dark digits in a bold Hershey sans-serif font
// (digit height half the inner disc, strokes 0.16 of it), inner disc radius
// from 16 to 120 pixels; the region is the inner disc's bounding box.
TEST_P(TrafficSignDrawnSigns, EverySpeedValueIsRead) {
    const auto [font, radius, value] = GetParam();
    SpeedSignStyle style;
    style.fontFace = font.fontFace;
    style.condense = font.condense;
    const SpeedSignImage sign = DrawSpeedSign(value, radius, style);
    const CandidateRegion region{sign.innerDisc.x, sign.innerDisc.y, sign.innerDisc.width,
                                 sign.innerDisc.height, kSignTypeCode};
    const RecognitionContext context = Dispatch(sign.image, region);
    ASSERT_EQ(ReadingOf(context), std::to_string(value)) << "radius " << radius;
    const RecognitionResult& result = context.results.front();
    EXPECT_EQ(result.glyphScoreCount, value < 10 ? 1 : 2);
    EXPECT_GE(result.rankValue, 1.0f - Sign::kMaxGlyphDistance);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, TrafficSignDrawnSigns,
    ::testing::Combine(::testing::Values(SignCase{cv::FONT_HERSHEY_SIMPLEX, 1.0},
                                         SignCase{cv::FONT_HERSHEY_SIMPLEX, 0.85},
                                         SignCase{cv::FONT_HERSHEY_DUPLEX, 1.0},
                                         SignCase{cv::FONT_HERSHEY_DUPLEX, 0.85}),
                       ::testing::Values(16, 24, 32, 50, 80, 120),
                       ::testing::ValuesIn(Sign::kSpeedValues)),
    [](const ::testing::TestParamInfo<std::tuple<SignCase, int, int>>& info) {
        const SignCase font = std::get<0>(info.param);
        return std::string(font.fontFace == cv::FONT_HERSHEY_SIMPLEX ? "Simplex" : "Duplex") +
               (font.condense < 1.0 ? "Condensed" : "") + "_radius" +
               std::to_string(std::get<1>(info.param)) + "_speed" +
               std::to_string(std::get<2>(info.param));
    });

// 35 is no speed value; 100 and 120 have three digits.
class OtherSpeedValue : public ::testing::TestWithParam<int> {};

TEST_P(OtherSpeedValue, IsNotRead) {
    const SpeedSignImage sign = DrawSpeedSign(GetParam(), 50);
    const CandidateRegion region{sign.innerDisc.x, sign.innerDisc.y, sign.innerDisc.width,
                                 sign.innerDisc.height, kSignTypeCode};
    EXPECT_EQ(ReadingOf(Dispatch(sign.image, region)), "<none>") << GetParam();
}

INSTANTIATE_TEST_SUITE_P(TrafficSignDrawnSignsOther, OtherSpeedValue,
                         ::testing::Values(35, 100, 120));

}  // namespace
}  // namespace kalvero
