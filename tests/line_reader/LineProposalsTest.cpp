#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/BlobRows.h"
#include "line_reader/DigitBlobs.h"
#include "line_reader/LineProposals.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawTightZone;
using testing::DrawnLineStyle;

cv::Mat Grey(const cv::Mat& bgr) {
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

// A row of faded paint: `contrast` grey levels off a grainy ground.
DrawnLineStyle FadedPaintRow(const std::string& font, int digitHeight, double contrast, bool light) {
    DrawnLineStyle style;
    style.text = "80949167";
    style.font = font;
    style.digitHeight = digitHeight;
    style.lightDigits = light;
    style.contrast = contrast;
    style.noiseSigma = 3.0;
    return style;
}

// The proposal overlapping `ink` best; fails when there is none.
LineProposal BestMatch(const std::vector<LineProposal>& proposals, const cv::Rect& ink) {
    LineProposal best;
    double bestIou = -1.0;
    for (const LineProposal& proposal : proposals) {
        if (BoxIou(proposal.box, ink) > bestIou) {
            bestIou = BoxIou(proposal.box, ink);
            best = proposal;
        }
    }
    EXPECT_GE(bestIou, 0.5) << "no proposal covers the drawn row " << ink;
    return best;
}

struct ProposalCase {
    const char* name;
    DrawnLineStyle style;
    int givenHeight;  // the digit height the operator set
};

TEST(ProposeLines, FindsTheDrawnRowInEitherPolarityTiltedOrWithAnOffHeight) {
    std::vector<ProposalCase> cases;
    DrawnLineStyle light;
    cases.push_back({"light Lato", light, 29});
    DrawnLineStyle dark;
    dark.lightDigits = false;
    dark.font = testing::kCantarellBold;
    cases.push_back({"dark Cantarell", dark, 29});
    DrawnLineStyle tilted = light;
    tilted.angleDegrees = 3.0;
    cases.push_back({"tilted 3 degrees", tilted, 29});
    DrawnLineStyle tiltedBack = dark;
    tiltedBack.angleDegrees = -3.0;
    cases.push_back({"dark, tilted -3 degrees", tiltedBack, 29});
    // A camera rolled 8 degrees and yawed off the carriage side.
    DrawnLineStyle steep = light;
    steep.angleDegrees = 10.0;
    cases.push_back({"tilted 10 degrees", steep, 29});
    cases.push_back({"height set 30 % high", light, 38});
    cases.push_back({"height set 30 % low", dark, 20});
    DrawnLineStyle ones = light;
    ones.text = "17342061";
    cases.push_back({"starting and ending with 1", ones, 29});

    for (const ProposalCase& c : cases) {
        SCOPED_TRACE(c.name);
        cv::Rect ink;
        const cv::Mat panel = DrawTightZone(c.style, &ink);
        const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), c.givenHeight, 6);
        ASSERT_FALSE(proposals.empty());
        const LineProposal best = BestMatch(proposals, ink);
        // The row ranks first and is found digit by digit.
        EXPECT_GE(BoxIou(proposals.front().box, ink), 0.5);
        EXPECT_EQ(best.blobCount, 8);
        EXPECT_EQ(best.lightDigits, c.style.lightDigits);
        // The measured height is the drawn one, whatever the setting.
        EXPECT_NEAR(best.line.digitHeight, c.style.digitHeight, 0.15 * c.style.digitHeight);
        EXPECT_NEAR(best.line.angleDegrees, c.style.angleDegrees, 1.0);
        // The box reaches both ends of the ink (1s included).
        EXPECT_LE(std::abs(best.box.x - ink.x), 0.12 * c.style.digitHeight);
        EXPECT_LE(std::abs(best.box.br().x - ink.br().x), 0.12 * c.style.digitHeight);
        EXPECT_NEAR(best.line.length, ink.width / std::cos(c.style.angleDegrees * CV_PI / 180.0),
                    0.15 * c.style.digitHeight + ink.height * std::sin(std::abs(c.style.angleDegrees) * CV_PI / 180.0));
    }
}

TEST(ProposeLines, JoinsTheTwoPiecesOfAStencilledDigit) {
    DrawnLineStyle style;
    style.text = "52473068";
    style.noiseSigma = 0.0;
    cv::Rect ink;
    cv::Mat panel = DrawTightZone(style, &ink);
    // A stencil bridge: a ground-coloured band across the middle of every digit.
    cv::rectangle(panel, cv::Rect(ink.x, ink.y + ink.height / 2 - 1, ink.width, 3), cv::Scalar(60, 60, 60),
                  cv::FILLED);
    const std::vector<DigitBlob> blobs = FindDigitBlobs(Grey(panel), 29, InkPolarity::Light);
    EXPECT_EQ(blobs.size(), 8u);
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), 29, 6);
    ASSERT_FALSE(proposals.empty());
    EXPECT_EQ(BestMatch(proposals, ink).blobCount, 8);
}

TEST(ProposeLines, ARowMissingADigitAtItsEndReachesFarEnoughForEight) {
    DrawnLineStyle style;
    style.text = "52473063";
    style.noiseSigma = 0.0;
    cv::Rect ink;
    cv::Mat panel = DrawTightZone(style, &ink);
    // The middle of the last digit is worn away: its two halves are too far
    // apart to be joined into one digit, and the row has seven.
    const int h = style.digitHeight;
    const int lastDigit = ink.br().x - ink.width / 8;
    cv::rectangle(panel, cv::Rect(lastDigit + 2, ink.y + h * 3 / 10, ink.br().x - lastDigit + 4, h * 2 / 5),
                  cv::Scalar::all(60), cv::FILLED);
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), h, 6);
    ASSERT_FALSE(proposals.empty());
    const LineProposal best = BestMatch(proposals, ink);
    EXPECT_EQ(best.blobCount, 7);
    // One pitch further on both sides: the lost digit is inside the line
    // and its box.
    EXPECT_LE(best.box.x, ink.x);
    EXPECT_GE(best.box.br().x, ink.br().x);
    const float pitch = ink.width / 8.0f;
    EXPECT_GE(best.line.length, ink.width + 0.8f * pitch);
    // Within the image, however far the extension reaches.
    EXPECT_GE(best.box.x, 0);
    EXPECT_LE(best.box.br().x, panel.cols);
}

TEST(ProposeLines, CutsTouchingDigitsApart) {
    DrawnLineStyle style;
    style.text = "52403068";
    style.letterSpacing = -0.02;
    style.blurSigma = 1.2;
    cv::Rect ink;
    const cv::Mat panel = DrawTightZone(style, &ink);
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), 29, 6);
    ASSERT_FALSE(proposals.empty());
    const LineProposal best = BestMatch(proposals, ink);
    EXPECT_GE(best.blobCount, 7);
    EXPECT_LE(best.blobCount, 9);
    EXPECT_NEAR(best.line.length, ink.width, 0.15 * style.digitHeight);
}

TEST(ProposeLines, CutsTouchingDigitsApartUnderASmearOfGround) {
    // A light smear of dirt or shading joined to the tops of a few touching
    // digits makes one component taller than the digits: the digits must
    // still come out one by one and no taller than digits are.
    DrawnLineStyle style;
    style.text = "52403068";
    style.letterSpacing = -0.08;
    style.blurSigma = 1.2;
    cv::Rect ink;
    cv::Mat panel = DrawTightZone(style, &ink);
    const int h = style.digitHeight;
    cv::ellipse(panel, cv::Point(ink.x + ink.width / 2, ink.y - h / 8), cv::Size(ink.width / 9, h / 5), 0.0, 0.0,
                360.0, cv::Scalar::all(200), cv::FILLED);
    const std::vector<DigitBlob> blobs = FindDigitBlobs(Grey(panel), h, InkPolarity::Light);
    int digits = 0;
    for (const DigitBlob& blob : blobs) {
        if ((blob.box & ink).area() == 0) continue;
        ++digits;
        EXPECT_LE(blob.box.height, 1.2 * h) << blob.box << " of the digits at " << ink;
    }
    EXPECT_GE(digits, 7);
    EXPECT_LE(digits, 9);
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), h, 6);
    ASSERT_FALSE(proposals.empty());
    EXPECT_GE(BestMatch(proposals, ink).blobCount, 7);
}

TEST(ProposeLines, CutsTouchingCondensedDigitsAtTheirOwnPitch) {
    // A narrow face set tight and blurred: its digits come a little more
    // than half a height apart and touch in runs of several. Cut at the
    // pitch of ordinary faces a run gives pieces about two digits wide,
    // which are dropped as wider than digits, and too few are left for a
    // row (as on the built-in glyphs set tight in a dark scene).
    DrawnLineStyle style;
    style.text = "95095352";
    style.font = "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf";
    for (const int height : {20, 23}) {
        for (const double spacing : {-0.02, -0.06}) {
            for (const double blur : {0.8, 1.4}) {
                for (const bool light : {true, false}) {
                    style.digitHeight = height;
                    style.letterSpacing = spacing;
                    style.blurSigma = blur;
                    style.lightDigits = light;
                    SCOPED_TRACE(::testing::Message() << height << " px, spacing " << spacing << ", blur " << blur
                                                    << (light ? ", light" : ", dark"));
                    cv::Rect ink;
                    const cv::Mat grey = Grey(DrawTightZone(style, &ink));
                    int digits = 0;
                    for (const DigitBlob& blob :
                         FindDigitBlobs(grey, height, light ? InkPolarity::Light : InkPolarity::Dark)) {
                        if ((blob.box & ink).area() > 0) ++digits;
                    }
                    EXPECT_GE(digits, 6);
                    const std::vector<LineProposal> proposals = ProposeLines(grey, height, 6);
                    ASSERT_FALSE(proposals.empty());
                    EXPECT_GE(BestMatch(proposals, ink).blobCount, 6);
                }
            }
        }
    }
}

TEST(ProposeLines, SeesDigitsThroughARailAndAPole) {
    DrawnLineStyle style;
    style.text = "52473068";
    cv::Rect ink;
    cv::Mat panel = DrawTightZone(style, &ink);
    // A rail in the digits' colour across the whole zone through the
    // digits, and a pole touching the third digit.
    const int y = ink.y + ink.height / 3;
    cv::line(panel, cv::Point(0, y), cv::Point(389, y), cv::Scalar::all(200), 2);
    const int x = ink.x + 2 * ink.width / 8 + 2;
    cv::line(panel, cv::Point(x, 0), cv::Point(x, 89), cv::Scalar::all(200), 2);
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), 29, 6);
    ASSERT_FALSE(proposals.empty());
    EXPECT_EQ(BestMatch(proposals, ink).blobCount, 8);
}

// Faded paint a few grey levels off its ground, softened and grainy, at
// the digit heights an operator gives: the row is proposed whole, in either
// polarity, and a row of strong stray digits elsewhere in the zone (a
// distractor) does not hide it.
struct FadedCase {
    const char* name;
    int digitHeight;
    bool lightDigits;
    bool strayRow;
};

class FadedRow : public ::testing::TestWithParam<FadedCase> {};

TEST_P(FadedRow, IsProposedWithTheHeightGiven) {
    const FadedCase& c = GetParam();
    DrawnLineStyle style = FadedPaintRow(testing::kCantarellBold, c.digitHeight, 22.0, c.lightDigits);
    style.blurSigma = 0.05 * c.digitHeight;
    const cv::Size size(12 * c.digitHeight, 5 * c.digitHeight);
    cv::Rect ink;
    cv::Mat panel = DrawLinePanel(size, cv::Point2f(0.5f * size.width, 0.4f * size.height), style, &ink);
    if (c.strayRow) {
        cv::putText(panel, "1851 4062", cv::Point(c.digitHeight / 2, size.height - c.digitHeight / 3),
                    cv::FONT_HERSHEY_SIMPLEX, 0.025 * c.digitHeight, cv::Scalar::all(c.lightDigits ? 200 : 40),
                    std::max(1, c.digitHeight / 8));
    }
    const std::vector<LineProposal> proposals = ProposeLines(Grey(panel), c.digitHeight, 6);
    ASSERT_FALSE(proposals.empty());
    const LineProposal best = BestMatch(proposals, ink);
    EXPECT_GE(best.blobCount, 7);
    EXPECT_EQ(best.lightDigits, c.lightDigits);
}

INSTANTIATE_TEST_SUITE_P(ProposeLines, FadedRow,
                         ::testing::Values(FadedCase{"light22", 22, true, false}, FadedCase{"dark30", 30, false, false},
                                           FadedCase{"light42", 42, true, false}, FadedCase{"dark90", 90, false, false},
                                           FadedCase{"light34WithStrayRow", 34, true, true},
                                           FadedCase{"dark26WithStrayRow", 26, false, true}),
                         [](const ::testing::TestParamInfo<FadedCase>& info) { return std::string(info.param.name); });

// Faded paint in thin strokes: a couple of pixels wide, 14 grey levels off
// the ground, grainy. The halved copy of the usual search averages the
// strokes into the ground and its full-contrast search does not see them;
// the faint search at the usual scale proposes the row whole.
TEST(ProposeFaintLines, FindsAFadedRowOfThinStrokesTheUsualSearchLoses) {
    for (const bool light : {true, false}) {
        SCOPED_TRACE(light ? "light" : "dark");
        const DrawnLineStyle style = FadedPaintRow("/usr/share/fonts/truetype/lato/Lato-Regular.ttf", 24, 14.0, light);
        const cv::Size size(320, 120);
        cv::Rect ink;
        const cv::Mat grey = Grey(DrawLinePanel(size, cv::Point2f(160.0f, 50.0f), style, &ink));
        for (const LineProposal& usual : ProposeLines(grey, 24, 6)) {
            EXPECT_FALSE(BoxIou(usual.box, ink) >= 0.5 && usual.blobCount >= 7) << usual.box;
        }
        const std::vector<LineProposal> faint = ProposeFaintLines(grey, 24, 6);
        ASSERT_FALSE(faint.empty());
        const LineProposal best = BestMatch(faint, ink);
        EXPECT_GE(best.blobCount, 7);
        EXPECT_EQ(best.lightDigits, light);
    }
    // Fainter still: ten levels off a grainy ground breaks the strokes into
    // specks at the contrast of averaged pictures; the faint search, lower
    // yet, keeps each digit whole.
    for (const bool light : {true, false}) {
        SCOPED_TRACE(light ? "light, ten levels" : "dark, ten levels");
        const DrawnLineStyle style =
            FadedPaintRow("/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf", 22, 10.0, light);
        cv::Rect ink;
        const cv::Mat grey = Grey(DrawLinePanel(cv::Size(320, 120), cv::Point2f(160.0f, 50.0f), style, &ink));
        std::vector<LineProposal> averaged;
        AddLevelProposals(grey, 22, grey.size(), averaged, kAveragedInkContrast);
        for (const LineProposal& proposal : averaged) {
            EXPECT_FALSE(BoxIou(proposal.box, ink) >= 0.5 && proposal.blobCount >= 7) << proposal.box;
        }
        const LineProposal best = BestMatch(ProposeFaintLines(grey, 22, 6), ink);
        EXPECT_GE(best.blobCount, 7);
    }
    const cv::Mat grey = Grey(DrawTightZone(DrawnLineStyle{}));
    EXPECT_TRUE(ProposeFaintLines(cv::Mat(), 29, 6).empty());
    EXPECT_TRUE(ProposeFaintLines(grey, 3, 6).empty());
    EXPECT_TRUE(ProposeFaintLines(grey, 29, 0).empty());
    EXPECT_TRUE(ProposeFaintLines(grey, 1 << 30, 6).empty());
    EXPECT_EQ(ProposeFaintLines(grey, 29, 1).size(), 1u);
}

TEST(ProposeLines, NothingOnAPlainOrBadImage) {
    DrawnLineStyle empty;
    empty.text = "";
    const cv::Mat plain = DrawTightZone(empty);
    EXPECT_TRUE(ProposeLines(Grey(plain), 29, 6).empty());
    // Four light digits are too few for a row. (The ground between and
    // beside them may form a dark row of five, which reads as no number.)
    DrawnLineStyle four;
    four.text = "4120";
    for (const LineProposal& proposal :
         ProposeLines(Grey(DrawTightZone(four)), 29, 6)) {
        EXPECT_FALSE(proposal.lightDigits) << proposal.box;
    }

    const cv::Mat grey = Grey(DrawTightZone(DrawnLineStyle{}));
    EXPECT_TRUE(ProposeLines(cv::Mat(), 29, 6).empty());
    EXPECT_TRUE(ProposeLines(grey, 3, 6).empty());
    EXPECT_TRUE(ProposeLines(grey, 29, 0).empty());
    cv::Mat wide;
    grey.convertTo(wide, CV_16U, 256.0);
    EXPECT_TRUE(ProposeLines(wide, 29, 6).empty());
    EXPECT_TRUE(ProposeLines(cv::Mat(1, 1, CV_8UC1, cv::Scalar(9)), 29, 6).empty());
    EXPECT_TRUE(ProposeLines(grey, 1 << 30, 6).empty());
}

TEST(ProposeLines, KeepsAtMostMaxLinesBestFirst) {
    // Three rows of eight on one panel.
    DrawnLineStyle style;
    style.digitHeight = 20;
    std::vector<cv::Rect> rows(3);
    cv::Mat panel = DrawLinePanel(cv::Size(300, 200), cv::Point2f(150.0f, 40.0f), style, &rows[0]);
    style.text = "99887766";
    const cv::Mat second = DrawLinePanel(cv::Size(300, 200), cv::Point2f(150.0f, 100.0f), style, &rows[1]);
    style.text = "55331100";
    const cv::Mat third = DrawLinePanel(cv::Size(300, 200), cv::Point2f(150.0f, 160.0f), style, &rows[2]);
    panel = cv::max(panel, cv::max(second, third));
    const std::vector<LineProposal> all = ProposeLines(Grey(panel), 20, 6);
    EXPECT_LE(all.size(), 6u);
    for (const cv::Rect& row : rows) BestMatch(all, row);
    const std::vector<LineProposal> two = ProposeLines(Grey(panel), 20, 2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_GE(two[0].rank, two[1].rank);
    // The two kept are the best two of the six.
    EXPECT_EQ(two[0].box, all[0].box);
    EXPECT_EQ(two[1].box, all[1].box);
}

// Blobs of height h and width 0.6 h along a line from `start`, `step` apart.
std::vector<DigitBlob> BlobLine(cv::Point2f start, cv::Point2f step, int count, int h) {
    std::vector<DigitBlob> blobs;
    for (int i = 0; i < count; ++i) {
        const cv::Point2f centre = start + step * static_cast<float>(i);
        const int w = h * 6 / 10;
        blobs.push_back(DigitBlob{cv::Rect(static_cast<int>(centre.x) - w / 2, static_cast<int>(centre.y) - h / 2, w, h),
                                  w * h / 2});
    }
    return blobs;
}

TEST(GroupBlobRows, SplitsAtWideGapsAndLeavesOutOfLineBlobs) {
    // Eight blobs 30 apart, then three more after a gap of two heights.
    std::vector<DigitBlob> blobs = BlobLine({20.0f, 50.0f}, {30.0f, 0.0f}, 8, 30);
    const std::vector<DigitBlob> far = BlobLine({20.0f + 7 * 30 + 90, 50.0f}, {30.0f, 0.0f}, 3, 30);
    blobs.insert(blobs.end(), far.begin(), far.end());
    // A blob a whole height below the row, between two of its blobs, and a
    // blob twice as tall.
    blobs.push_back(DigitBlob{cv::Rect(95, 80, 18, 30), 270});
    blobs.push_back(DigitBlob{cv::Rect(130, 20, 36, 60), 1080});
    std::sort(blobs.begin(), blobs.end(),
              [](const DigitBlob& a, const DigitBlob& b) { return a.box.x < b.box.x; });

    const std::vector<BlobRow> rows = GroupBlobRows(blobs, 5);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].blobs.size(), 8u);
    for (const DigitBlob& blob : rows[0].blobs) EXPECT_EQ(blob.box.height, 30);
    EXPECT_EQ(GroupBlobRows(blobs, 3).size(), 2u);
}

TEST(FitRowLine, MeasuresTiltAndClampsIt) {
    const float slope = std::tan(4.0f * static_cast<float>(CV_PI) / 180.0f);
    const LineBox four = FitRowLine(BlobLine({20.0f, 50.0f}, {30.0f, 30.0f * slope}, 8, 30));
    EXPECT_NEAR(four.angleDegrees, 4.0f, 0.5f);
    EXPECT_NEAR(four.digitHeight, 30.0f, 2.0f);
    EXPECT_NEAR(four.length, 7 * 30 / std::cos(4.0f * CV_PI / 180.0f) + 18, 3.0f);
    const float steep = std::tan(20.0f * static_cast<float>(CV_PI) / 180.0f);
    EXPECT_FLOAT_EQ(FitRowLine(BlobLine({20.0f, 50.0f}, {30.0f, -30.0f * steep}, 8, 30)).angleDegrees,
                    -kMaxRowTiltDegrees);
    // A single blob: upright, its own width long.
    const LineBox one = FitRowLine(BlobLine({50.0f, 50.0f}, {0.0f, 0.0f}, 1, 30));
    EXPECT_EQ(one.angleDegrees, 0.0f);
    EXPECT_FLOAT_EQ(one.length, 18.0f);
    EXPECT_EQ(FitRowLine({}).length, 0.0f);
}

}  // namespace
}  // namespace kalvero
