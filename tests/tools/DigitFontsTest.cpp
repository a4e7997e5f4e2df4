#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "tools/DigitFonts.h"
#include "tools/DigitLine.h"
#include "tools/ToolsTestFonts.h"

namespace kalvero {
namespace {

// Number of digits whose shape differs clearly from every other digit's,
// compared at one common size.
int DistinctShapes(const DigitFont& font) {
    std::vector<cv::Mat> shapes;
    for (int d = 0; d < 10; ++d) {
        cv::Mat m;
        cv::resize(font.Digit(d), m, cv::Size(24, 40), 0, 0, cv::INTER_AREA);
        shapes.push_back(m);
    }
    int distinct = 0;
    for (int a = 0; a < 10; ++a) {
        bool unique = true;
        for (int b = 0; b < 10; ++b) {
            if (a != b && cv::norm(shapes[a], shapes[b], cv::NORM_L1) / shapes[a].total() < 20.0) {
                unique = false;
            }
        }
        distinct += unique;
    }
    return distinct;
}

TEST(DigitFonts, EverySourceDrawsTenDigitsOfWhichAtLeastEightDiffer) {
    std::vector<std::string> entries{"glyph", "stencil"};
    if (TestFontInstalled()) {
        entries.push_back(kTestFontPath);
    }
    for (const std::string& entry : entries) {
        DigitFont font;
        ASSERT_EQ(font.Load(entry), "") << entry;
        for (int d = 0; d < 10; ++d) {
            const cv::Mat& m = font.Digit(d);
            ASSERT_EQ(m.rows, kDigitFontReferenceHeight) << entry << " digit " << d;
            // Cropped to the ink: the outer columns carry some.
            EXPECT_GT(cv::countNonZero(m.col(0)), 0) << entry << " digit " << d;
            EXPECT_GT(cv::countNonZero(m.col(m.cols - 1)), 0) << entry << " digit " << d;
            EXPECT_GT(cv::countNonZero(m), m.total() / 8) << entry << " digit " << d;
        }
        EXPECT_LT(font.Digit(1).cols, font.Digit(0).cols) << entry << ": a one is narrow";
        EXPECT_GE(DistinctShapes(font), 8) << entry;
    }
}

TEST(DigitFonts, NamesEntriesAndRefusesBadOnes) {
    DigitFont font;
    ASSERT_EQ(font.Load("stencil"), "");
    EXPECT_EQ(font.Name(), "stencil");
    EXPECT_FALSE(font.IsFontFile());
    EXPECT_NE(font.Load("/no/such/font.ttf").find("does not exist"), std::string::npos);
    if (TestFontInstalled()) {
        ASSERT_EQ(font.Load(kTestFontPath), "");
        EXPECT_EQ(font.Name(), "DejaVuSans-Bold.ttf");
    }
    std::vector<std::string> entries;
    EXPECT_EQ(SplitFontList("glyph,stencil", entries), "");
    EXPECT_EQ(entries, (std::vector<std::string>{"glyph", "stencil"}));
    EXPECT_NE(SplitFontList("glyph,,stencil", entries), "");

    // The defaults are the training fonts only, ours included.
    const std::vector<std::string> defaults = DefaultTrainingFontEntries();
    EXPECT_EQ(defaults.back(), "stencil");
    for (const std::string& entry : defaults) {
        for (const char* heldOut : {"Lato", "Cantarell", "LeagueSpartan", "Hack"}) {
            EXPECT_EQ(entry.find(heldOut), std::string::npos) << entry;
        }
    }
}

TEST(DigitLine, PitchWidthAndWeightShapeTheRow) {
    DigitFont font;
    ASSERT_EQ(font.Load("glyph"), "");
    LineStyle style;
    style.digitHeight = 30;
    style.gap = 0.2;
    const PaintedLine line = PaintDigitLine(font, "1101", style);
    ASSERT_EQ(line.digitBoxes.size(), 4u);
    EXPECT_EQ(line.digits, "1101");
    for (std::size_t i = 1; i < line.digitBoxes.size(); ++i) {
        // Proportional pitch: the next digit starts one gap after this one.
        EXPECT_NEAR(line.digitBoxes[i].x - line.digitBoxes[i - 1].br().x, 6.0, 1.01);
    }
    // Every digit's ink lies in its box and fills its height.
    for (const cv::Rect2d& b : line.digitBoxes) {
        const cv::Rect r(b);
        EXPECT_EQ(r.height, 30);
        EXPECT_GT(cv::countNonZero(line.mask(r).row(0)), 0);
        EXPECT_GT(cv::countNonZero(line.mask(r).row(r.height - 1)), 0);
    }
    EXPECT_EQ(cv::countNonZero(line.mask) , cv::countNonZero(line.mask(cv::Rect(line.Box()))));

    LineStyle fixed = style;
    fixed.fixedPitch = true;
    const PaintedLine cells = PaintDigitLine(font, "1101", fixed);
    EXPECT_GT(cells.Box().width, line.Box().width) << "ones take a whole cell";

    LineStyle wide = style;
    wide.widthScale = 1.25;
    EXPECT_NEAR(PaintDigitLine(font, "0", wide).Box().width, 1.25 * PaintDigitLine(font, "0", style).Box().width, 1.5);

    LineStyle bold = style;
    bold.weight = 0.05;
    LineStyle thin = style;
    thin.weight = -0.03;
    const double ink = cv::sum(PaintDigitLine(font, "8", style).mask)[0];
    EXPECT_GT(cv::sum(PaintDigitLine(font, "8", bold).mask)[0], 1.15 * ink);
    EXPECT_LT(cv::sum(PaintDigitLine(font, "8", thin).mask)[0], 0.9 * ink);
}

}  // namespace
}  // namespace kalvero
