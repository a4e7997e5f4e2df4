#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "tools/BlockStencilDigits.h"
#include "tools/DigitFonts.h"
#include "tools/DigitLine.h"
#include "tools/HandDigits.h"

namespace kalvero {
namespace {

double MaskDistance(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat ra;
    cv::Mat rb;
    cv::resize(a, ra, cv::Size(24, 40), 0, 0, cv::INTER_AREA);
    cv::resize(b, rb, cv::Size(24, 40), 0, 0, cv::INTER_AREA);
    return cv::norm(ra, rb, cv::NORM_L1) / ra.total();
}

TEST(HandDigits, EveryPaintingDiffersAndTheSameStateRepeats) {
    for (int d = 0; d < 10; ++d) {
        cv::RNG one(d + 1);
        cv::RNG same(d + 1);
        const cv::Mat a = DrawHandDigit(d, 48, one);
        const cv::Mat again = DrawHandDigit(d, 48, same);
        const cv::Mat b = DrawHandDigit(d, 48, one);
        ASSERT_FALSE(a.empty()) << d;
        EXPECT_NEAR(a.rows, 48, 3) << d;
        EXPECT_EQ(cv::norm(a, again, cv::NORM_INF), 0.0) << d;
        EXPECT_GT(MaskDistance(a, b), 2.0) << "digit " << d << " painted twice alike";
    }
    cv::RNG rng(1);
    EXPECT_TRUE(DrawHandDigit(10, 48, rng).empty());
    EXPECT_TRUE(DrawHandDigit(3, 5, rng).empty());
}

TEST(HandDigits, DigitsStayTellableApart) {
    // Each hand-painted digit is nearer its own reference than most others.
    DigitFont hand;
    ASSERT_EQ(hand.Load("hand"), "");
    EXPECT_TRUE(hand.IsHand());
    EXPECT_FALSE(hand.IsFontFile());
    cv::RNG rng(77);
    int right = 0;
    for (int trial = 0; trial < 3; ++trial) {
        for (int d = 0; d < 10; ++d) {
            const cv::Mat painted = DrawHandDigit(d, 60, rng);
            int best = -1;
            double bestDistance = 1e9;
            for (int r = 0; r < 10; ++r) {
                const double distance = MaskDistance(painted, hand.Digit(r));
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = r;
                }
            }
            right += best == d;
        }
    }
    EXPECT_GE(right, 24) << "of 30";
}

TEST(BlockStencilDigits, BarsNeverTouchAndDigitsDiffer) {
    // Square-ended bars cut apart by bridges: the 8 is seven separate bars,
    // the 0 eight, the 1 three.
    const std::pair<int, int> pieces[] = {{8, 7}, {0, 8}, {1, 3}, {7, 5}};
    for (const auto& [digit, bars] : pieces) {
        const cv::Mat mask = DrawBlockStencilDigit(digit, 80);
        ASSERT_FALSE(mask.empty());
        EXPECT_EQ(mask.rows, 80);
        cv::Mat binary;
        cv::threshold(mask, binary, 127, 255, cv::THRESH_BINARY);
        cv::Mat labels;
        EXPECT_EQ(cv::connectedComponents(binary, labels, 4) - 1, bars) << "digit " << digit;
    }
    DigitFont block;
    ASSERT_EQ(block.Load("block-stencil"), "");
    for (int a = 0; a < 10; ++a) {
        for (int b = a + 1; b < 10; ++b) {
            EXPECT_GT(MaskDistance(block.Digit(a), block.Digit(b)), 10.0) << a << " and " << b;
        }
    }
    EXPECT_TRUE(DrawBlockStencilDigit(3, 7).empty());
}

TEST(DigitLine, GroupsStandApartByTheirGapAndHandLinesWander) {
    DigitFont font;
    ASSERT_EQ(font.Load("stencil"), "");
    LineStyle style;
    style.digitHeight = 40.0;
    style.groups = {2, 4, 2};
    style.groupGap = 2.5;
    const PaintedLine line = PaintDigitLine(font, "52473063", style);
    ASSERT_EQ(line.digitBoxes.size(), 8u);
    const double widest = font.WidestDigit() * 40.0 / kDigitFontReferenceHeight;
    const auto gapAfter = [&](int i) { return line.digitBoxes[i + 1].x - line.digitBoxes[i].br().x; };
    EXPECT_NEAR(gapAfter(1) - gapAfter(0), 2.5 * widest, 2.0);
    EXPECT_NEAR(gapAfter(5) - gapAfter(4), 2.5 * widest, 2.0);
    EXPECT_NEAR(gapAfter(2), gapAfter(3), 1.0);

    DigitFont hand;
    ASSERT_EQ(hand.Load("hand"), "");
    LineStyle handStyle;
    handStyle.digitHeight = 40.0;
    handStyle.strokeSeed = 5;
    const PaintedLine a = PaintDigitLine(hand, "11111111", handStyle);
    const PaintedLine again = PaintDigitLine(hand, "11111111", handStyle);
    handStyle.strokeSeed = 6;
    const PaintedLine other = PaintDigitLine(hand, "11111111", handStyle);
    EXPECT_EQ(cv::norm(a.mask, again.mask, cv::NORM_INF), 0.0);
    EXPECT_TRUE(a.mask.size() != other.mask.size() || cv::norm(a.mask, other.mask, cv::NORM_L1) > 0.0);
    double low = 1e9;
    double high = -1e9;
    for (const cv::Rect2d& b : a.digitBoxes) {
        low = std::min(low, b.y);
        high = std::max(high, b.y);
        // Each box holds its own digit's ink.
        const cv::Rect r(static_cast<int>(b.x), static_cast<int>(b.y), static_cast<int>(b.width), static_cast<int>(b.height));
        EXPECT_GT(cv::countNonZero(a.mask(r & cv::Rect(0, 0, a.mask.cols, a.mask.rows))), 20);
    }
    EXPECT_GT(high - low, 0.5) << "the baseline wanders";
}

}  // namespace
}  // namespace kalvero
