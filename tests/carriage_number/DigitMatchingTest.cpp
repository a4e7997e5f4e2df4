#include <gtest/gtest.h>

#include <string>

#include <opencv2/core.hpp>

#include "carriage_number/DigitMatching.h"
#include "detection/GlyphTemplateBank.h"
#include "support/CarriageFixtures.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

using test::DigitStrip;

TEST(DigitMatchWindows, SlideHalfAGlyphAndEndAlignedRight) {
    // W = 12: windows 19 wide, 6 apart.
    const std::vector<MatchWindow> w = DigitMatchWindows(200, 12);
    ASSERT_EQ(w.size(), 32u);
    EXPECT_EQ(w[0].start, 0);
    EXPECT_EQ(w[0].end, 19);
    EXPECT_EQ(w[1].start, 6);
    EXPECT_EQ(w[1].end, 25);
    EXPECT_EQ(w[30].start, 180);
    EXPECT_EQ(w[30].end, 199);
    EXPECT_EQ(w[31].start, 181);
    EXPECT_EQ(w[31].end, 200);
}

TEST(DigitMatchWindows, ShortStrips) {
    const std::vector<MatchWindow> narrow = DigitMatchWindows(15, 12);
    ASSERT_EQ(narrow.size(), 1u);
    EXPECT_EQ(narrow[0].start, 0);
    EXPECT_EQ(narrow[0].end, 15);
    // Exactly one window wide: read twice with the same window.
    const std::vector<MatchWindow> exact = DigitMatchWindows(19, 12);
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[1].start, 0);
    EXPECT_EQ(exact[1].end, 19);
    // Tiny glyphs still advance.
    EXPECT_EQ(DigitMatchWindows(5, 1).size(), 5u);
}

TEST(AddCandidate, MergesMatchesCloserThanSevenTenthsOfAGlyph) {
    std::vector<DigitCandidate> list;
    AddCandidate(list, 5, 0.80, {10, 0}, 20, 12);  // x = 30
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].x, 30);
    EXPECT_DOUBLE_EQ(list[0].confidence, (0.80 - 0.67) * 0.5 / 0.33 + 0.5);
    AddCandidate(list, 3, 0.75, {18, 0}, 20, 12);  // 8 apart, weaker: ignored
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].digit, 5);
    AddCandidate(list, 3, 0.90, {18, 0}, 20, 12);  // 8 apart, stronger: takes over
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].digit, 3);
    EXPECT_EQ(list[0].x, 38);
    EXPECT_DOUBLE_EQ(list[0].score, 0.90);
    AddCandidate(list, 7, 0.70, {27, 0}, 20, 12);  // 9 apart: both kept
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].x, 47);
}

TEST(AddCandidate, StopsAtTheFirstBetterRecord) {
    std::vector<DigitCandidate> list = {{2, 30, 0.9, 0.5}, {4, 38, 0.7, 0.5}};
    AddCandidate(list, 6, 0.8, {34, 0}, 0, 12);  // near both; the first is better
    EXPECT_EQ(list[0].digit, 2);
    EXPECT_EQ(list[1].digit, 4);
    // A weaker first record is overwritten and the walk goes on.
    list = {{2, 30, 0.7, 0.5}, {4, 38, 0.72, 0.5}};
    AddCandidate(list, 6, 0.8, {34, 0}, 0, 12);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].digit, 6);
    EXPECT_EQ(list[1].digit, 6);
    EXPECT_EQ(list[1].x, 34);
}

// A 12-column box over 10 rows with the given columns left empty.
cv::Mat FillStrip(int width, int emptyColumns) {
    cv::Mat strip(12, width + 2, CV_8UC1, cv::Scalar(0));
    strip(cv::Rect(1, 1, width - emptyColumns, 10)).setTo(255);
    return strip;
}

TEST(PassesColumnFill, LimitsEmptyColumns) {
    EXPECT_FALSE(PassesColumnFill(FillStrip(12, 4), cv::Rect(1, 1, 12, 10), 0));  // 0.333
    EXPECT_TRUE(PassesColumnFill(FillStrip(12, 3), cv::Rect(1, 1, 12, 10), 0));   // 0.25
    EXPECT_FALSE(PassesColumnFill(FillStrip(12, 3), cv::Rect(1, 1, 12, 10), 4));
    EXPECT_TRUE(PassesColumnFill(FillStrip(12, 2), cv::Rect(1, 1, 12, 10), 4));
    // 3 of 10 is 0.3f, which lies above the double 0.3; 2 of 10 likewise
    // above 0.2 for template 4.
    EXPECT_FALSE(PassesColumnFill(FillStrip(10, 3), cv::Rect(1, 1, 10, 10), 0));
    EXPECT_FALSE(PassesColumnFill(FillStrip(10, 2), cv::Rect(1, 1, 10, 10), 4));
    EXPECT_TRUE(PassesColumnFill(FillStrip(10, 2), cv::Rect(1, 1, 10, 10), 0));
}

TEST(TightenBox, TrimsFaintColumnsAndTopRows) {
    // H = 20 (columns need 4 ink pixels), W = 12 (rows need 2).
    cv::Mat strip(30, 30, CV_8UC1, cv::Scalar(0));
    strip(cv::Rect(5, 4, 6, 18)).setTo(255);  // ink in columns 5..10, rows 4..21
    strip(cv::Rect(4, 10, 1, 3)).setTo(255);  // 3 pixels: still faint
    // Left: columns 2..4 go. Right: counted from column 14, the one beyond
    // the box: 14, 13, 12, 11 go, so ink column 10 is cut as well.
    const cv::Rect t = TightenBox(strip, cv::Rect(2, 2, 12, 20), 20, 12);
    EXPECT_EQ(t, cv::Rect(5, 4, 5, 18));
}

TEST(TightenBox, TrimsAtMostFivePerSide) {
    cv::Mat strip(40, 40, CV_8UC1, cv::Scalar(0));
    strip(cv::Rect(12, 11, 2, 20)).setTo(255);
    // 10 empty columns on the left, 8 on the right (beyond included), 9
    // empty rows on top.
    const cv::Rect t = TightenBox(strip, cv::Rect(2, 2, 19, 30), 20, 12);
    EXPECT_EQ(t, cv::Rect(7, 7, 9, 25));
    // A glyph box of 8 columns can lose them all.
    cv::Mat blank(40, 40, CV_8UC1, cv::Scalar(0));
    EXPECT_TRUE(TightenBox(blank, cv::Rect(2, 2, 8, 20), 20, 8).empty());
}

TEST(AcceptMatch, ThresholdsOfTheFourRules) {
    float p[kShapeClassCount] = {};
    float z[kShapeClassCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    // Probe class agrees with the template (class 1 is digit 2).
    p[1] = 0.51f;
    EXPECT_TRUE(AcceptMatch(2, 0.65, 1, p, z));
    EXPECT_FALSE(AcceptMatch(3, 0.65, 1, p, z));
    p[1] = 0.5f;
    EXPECT_FALSE(AcceptMatch(2, 0.65, 1, p, z));
    // Rule 4: 0.68f lies above the double 0.68.
    p[1] = 0.68f;
    EXPECT_TRUE(AcceptMatch(2, 0.71, 0, p, z));
    EXPECT_FALSE(AcceptMatch(2, 0.70, 0, p, z));
    // Rule 3.
    p[1] = 0.51f;
    EXPECT_TRUE(AcceptMatch(2, 0.77, 0, p, z));
    EXPECT_FALSE(AcceptMatch(2, 0.76, 0, p, z));
    // Rule 2: the zone distance must lie below 0.4; 0.4f does not.
    p[1] = 0.41f;
    z[1] = 0.39f;
    EXPECT_TRUE(AcceptMatch(2, 0.73, 0, p, z));
    z[1] = 0.4f;
    EXPECT_FALSE(AcceptMatch(2, 0.73, 0, p, z));
}

class MatchDigitsTest : public ::testing::Test {
protected:
    static constexpr int kH = 29;
    MatchDigitsTest() : bank(cv::Mat(40, 40, CV_8UC1, cv::Scalar(0))) { bank.ScaleTemplates(kH); }

    // The digits matched within 2 columns of glyph box i of a strip drawn
    // at `left`.
    std::vector<int> DigitsAt(const std::vector<DigitCandidate>& c, int left, int i) const {
        const int x = left + i * DigitAdvance(kH, 0.3);
        std::vector<int> out;
        for (const DigitCandidate& d : c) {
            if (std::abs(d.x - x) <= 2) {
                out.push_back(d.digit);
            }
        }
        return out;
    }
    GlyphTemplateBank bank;
};

TEST_F(MatchDigitsTest, FindsEachDrawnDigitButNoOne) {
    const cv::Mat strip = DigitStrip("52148", kH, 0.3, 6, 140);
    std::vector<DigitCandidate> c;
    MatchDigits(strip, bank, c);
    for (const auto& [i, digit] : std::vector<std::pair<int, int>>{{0, 5}, {1, 2}, {3, 4}, {4, 8}}) {
        const std::vector<int> at = DigitsAt(c, 6, i);
        ASSERT_FALSE(at.empty()) << "digit " << digit;
        for (int d : at) {
            EXPECT_EQ(d, digit);
        }
    }
    for (const DigitCandidate& d : c) {
        EXPECT_NE(d.digit, 1);
        EXPECT_GE(d.score, 0.67);
    }
}

TEST_F(MatchDigitsTest, FullHeightBarVetoesTheGlyphsItCrosses) {
    cv::Mat strip = DigitStrip("52", kH, 0.3, 6, 60);
    const int bar = 6 + DigitAdvance(kH, 0.3) + 8;  // through the 2
    strip.col(bar).setTo(255);
    std::vector<DigitCandidate> c;
    MatchDigits(strip, bank, c);
    EXPECT_FALSE(DigitsAt(c, 6, 0).empty());
    EXPECT_TRUE(DigitsAt(c, 6, 1).empty());
}

TEST_F(MatchDigitsTest, BarsInTheEndColumnsVetoNothing) {
    cv::Mat strip = DigitStrip("5", kH, 0.3, 0, 20);
    std::vector<DigitCandidate> plain;
    MatchDigits(strip, bank, plain);
    ASSERT_FALSE(plain.empty());
    strip.col(0).setTo(255);
    strip.col(strip.cols - 1).setTo(255);
    std::vector<DigitCandidate> barred;
    MatchDigits(strip, bank, barred);
    EXPECT_FALSE(barred.empty());
    strip.col(1).setTo(255);
    std::vector<DigitCandidate> vetoed;
    MatchDigits(strip, bank, vetoed);
    EXPECT_TRUE(vetoed.empty());
}

TEST_F(MatchDigitsTest, StripNarrowerThanAGlyphGivesNothing) {
    const int W = bank.glyphWidth;
    const cv::Mat strip = DigitStrip("5", kH, 0.3, 0, W + 1);
    std::vector<DigitCandidate> c;
    MatchDigits(strip, bank, c);
    EXPECT_TRUE(c.empty());
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

std::vector<DigitCandidate> MatchOnPath(const cv::Mat& strip, GlyphTemplateBank& bank,
                                        CorrelationPath path) {
    bank.correlationPath = path;
    std::vector<DigitCandidate> c;
    MatchDigits(strip, bank, c);
    return c;
}

void ExpectSameCandidates(const std::vector<DigitCandidate>& a,
                          const std::vector<DigitCandidate>& b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].digit, b[i].digit) << what << ", candidate " << i;
        EXPECT_EQ(a[i].x, b[i].x) << what << ", candidate " << i;
        EXPECT_EQ(a[i].score, b[i].score) << what << ", candidate " << i;
        EXPECT_EQ(a[i].confidence, b[i].confidence) << what << ", candidate " << i;
    }
}

TEST(MatchDigitsPaths, FastSearchMatchesLikeTheReference) {
    cv::RNG rng(43);
    int matched = 0;
    for (int h : {20, 29, 45}) {
        GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
        bank.ScaleTemplates(h);
        for (int trial = 0; trial < 4; ++trial) {
            cv::Mat strip = DigitStrip("5824903617", h, rng.uniform(0.15, 0.4), rng.uniform(0, 9),
                                       GlyphWidthFor(h) * 13);
            // Speckle, a bar and a few holes.
            cv::Mat noise(strip.size(), CV_8UC1);
            rng.fill(noise, cv::RNG::UNIFORM, 0, 100);
            strip.setTo(255, noise < 4);
            strip.setTo(0, noise > 96);
            strip.col(rng.uniform(1, strip.cols - 1)).setTo(255);
            const std::string what = "h " + std::to_string(h) + ", trial " + std::to_string(trial);
            const std::vector<DigitCandidate> reference =
                MatchOnPath(strip, bank, CorrelationPath::Reference);
            matched += static_cast<int>(reference.size());
            ExpectSameCandidates(reference, MatchOnPath(strip, bank, CorrelationPath::Fast), what);
        }
    }
    EXPECT_GT(matched, 50);
}

TEST(MatchDigitsPaths, StripWithGreyLevelsIsMatchedInFull) {
    GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(29);
    cv::Mat strip = DigitStrip("52148", 29, 0.3, 6, 140);
    strip.at<uchar>(0, 0) = 100;  // one grey pixel: not a two-level strip
    const std::vector<DigitCandidate> reference =
        MatchOnPath(strip, bank, CorrelationPath::Reference);
    ASSERT_FALSE(reference.empty());
    ExpectSameCandidates(reference, MatchOnPath(strip, bank, CorrelationPath::Fast), "grey strip");
}

}  // namespace
}  // namespace kalvero
