#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include "tools/HardNegatives.h"
#include "tools/SceneConditions.h"
#include "tools/VariedScene.h"

namespace kalvero {
namespace {

std::string DigitsOf(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

TEST(HardNegatives, HoldsCarriageNumberLooksAtEveryRunOfEightDigits) {
    for (const char* text : {"52473063", "9 5247306-3 1"}) EXPECT_TRUE(HoldsCarriageNumber(text)) << text;
    for (const char* text : {"52473064", "5247306", ""}) EXPECT_FALSE(HoldsCarriageNumber(text)) << text;
}

// The texts of each kind, over many draws: the right shape, and never a
// carriage number whose check digit holds.
struct MarkingCase {
    SceneNegative kind;
    std::size_t digits;      // 0: either phone layout
    std::string separators;  // the characters besides digits it may hold
};

class NegativeMarkings : public ::testing::TestWithParam<MarkingCase> {};

TEST_P(NegativeMarkings, HaveTheirShapeAndNeverAHoldingNumber) {
    const MarkingCase& m = GetParam();
    cv::RNG rng(12345);
    for (int i = 0; i < 300; ++i) {
        const std::string text = NegativeMarkingText(m.kind, rng);
        const std::string digits = DigitsOf(text);
        if (m.digits > 0) {
            EXPECT_EQ(digits.size(), m.digits) << text;
        } else {
            EXPECT_EQ(digits.size(), 11u) << text;
        }
        EXPECT_EQ(text.find_first_not_of("0123456789" + m.separators), std::string::npos) << text;
        EXPECT_FALSE(HoldsCarriageNumber(text)) << text;
        if (m.kind == SceneNegative::BadCheckDigit) {
            EXPECT_FALSE(CheckDigitHolds(text)) << text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, NegativeMarkings,
                         ::testing::Values(MarkingCase{SceneNegative::PhoneNumber, 0, " -+"},
                                           MarkingCase{SceneNegative::Date, 8, "."},
                                           MarkingCase{SceneNegative::BadCheckDigit, 8, ""},
                                           MarkingCase{SceneNegative::NineDigits, 9, ""},
                                           MarkingCase{SceneNegative::TenDigits, 10, ""},
                                           MarkingCase{SceneNegative::SevenPlusOne, 8, " "}));

// Scenes of every negative kind, plain and varied: no object is a number,
// no painted group holds a valid number, the kinds with digits show them
// and the patterns show none.
class NegativeScenes : public ::testing::TestWithParam<std::pair<std::string, SceneNegative>> {};

TEST_P(NegativeScenes, ShowNoCarriageNumber) {
    const SceneNegative kind = GetParam().second;
    for (bool varied : {false, true}) {
        for (std::uint64_t seed : {1ULL, 2ULL}) {
            SampleOptions sample;
            sample.size = cv::Size(480, 270);
            sample.digitHeight = 18;
            sample.frames = 3;
            sample.seed = seed;
            SceneOptions options;
            options.negative = kind;
            options.varied = varied;
            options.motion = SceneMotion::Static;
            VariedScene scene;
            ASSERT_EQ(scene.Build(sample, options), "") << GetParam().first;
            EXPECT_TRUE(scene.Numbers().empty());
            bool painted = false;
            for (const TruthObject& o : scene.Objects(1)) {
                EXPECT_FALSE(o.isNumber) << o.text;
                EXPECT_FALSE(HoldsCarriageNumber(o.text)) << o.text;
                painted = painted || o.text.size() >= 6;
            }
            const bool hasDigits = !IsPatternNegative(kind) && kind != SceneNegative::Blank;
            if (!varied) {
                // (A varied side may carry a short group of its own besides.)
                EXPECT_EQ(painted, hasDigits) << GetParam().first;
            }
            if (kind == SceneNegative::BadCheckDigit) {
                const std::string main = scene.Objects(1).front().text;
                EXPECT_EQ(main.size(), 8u);
                EXPECT_FALSE(CheckDigitHolds(main)) << main;
            }
        }
    }
}

std::vector<std::pair<std::string, SceneNegative>> NegativeKinds() {
    std::vector<std::pair<std::string, SceneNegative>> kinds = NegativeNames();
    kinds.erase(kinds.begin());  // "none"
    return kinds;
}

INSTANTIATE_TEST_SUITE_P(Kinds, NegativeScenes, ::testing::ValuesIn(NegativeKinds()),
                         [](const auto& info) {
                             std::string name = info.param.first;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(HardNegatives, PaintMarkingKeepsEveryDigitsBoxAndDrawsTheSeparators) {
    DigitFont font;
    ASSERT_EQ(font.Load("glyph"), "");
    LineStyle style;
    style.digitHeight = 30.0;
    const PaintedLine line = PaintMarking(font, "8 800 555-35-35", style, 0.6);
    EXPECT_EQ(line.digits, "88005553535");
    ASSERT_EQ(line.digitBoxes.size(), 11u);
    const PaintedLine digitsOnly = PaintDigitLine(font, "88005553535", style);
    EXPECT_GT(line.mask.cols, digitsOnly.mask.cols + 30) << "spaces and dashes take room";
    for (std::size_t i = 1; i < line.digitBoxes.size(); ++i) {
        EXPECT_GT(line.digitBoxes[i].x, line.digitBoxes[i - 1].x);
    }
    // The dash between "555" and "35": ink between the two digit boxes.
    const cv::Rect2d& before = line.digitBoxes[6];
    const cv::Rect2d& after = line.digitBoxes[7];
    const cv::Rect gap(static_cast<int>(before.br().x) + 1, 0, static_cast<int>(after.x - before.br().x) - 2,
                       line.mask.rows);
    EXPECT_GT(cv::countNonZero(line.mask(gap)), 10);
}

TEST(HardNegatives, PatternsAreRowsOfInkAsLongAsAsked) {
    cv::RNG rng(3);
    for (SceneNegative kind : {SceneNegative::Ladder, SceneNegative::Grille, SceneNegative::Rivets}) {
        const cv::Mat mask = DrawPatternMask(kind, 30.0, 160.0, rng);
        ASSERT_FALSE(mask.empty());
        EXPECT_NEAR(mask.cols, 164, 2);
        const double inked = cv::countNonZero(mask) / static_cast<double>(mask.total());
        EXPECT_GT(inked, 0.05);
        EXPECT_LT(inked, 0.7);
    }
    EXPECT_TRUE(DrawPatternMask(SceneNegative::Date, 30.0, 160.0, rng).empty());
}

}  // namespace
}  // namespace kalvero
