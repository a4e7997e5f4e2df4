#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTable.h"
#include "detection/GlyphTemplateBank.h"

namespace kalvero {
namespace {

TEST(GlyphTemplateBank, TemplateSizesFollowTheDigitHeight) {
    struct Case {
        int h, w;
    };
    for (const Case& c : {Case{20, 12}, Case{32, 19}, Case{10, 6}, Case{29, 17}}) {
        GlyphTemplateBank bank(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)));
        bank.ScaleTemplates(c.h);
        EXPECT_EQ(bank.digitHeight, c.h);
        EXPECT_EQ(bank.glyphWidth, c.w);
        ASSERT_EQ(bank.nativeTemplates.size(), 13u);
        ASSERT_EQ(bank.scaledTemplates.size(), 13u);
        for (const cv::Mat& t : bank.scaledTemplates) {
            EXPECT_EQ(t.size(), cv::Size(c.w + 2, c.h + 2));
            EXPECT_EQ(t.type(), CV_8UC1);
        }
    }
}

TEST(GlyphTemplateBank, GreyImageFromColourOrCopied) {
    cv::Mat grey(4, 5, CV_8UC1);
    cv::randu(grey, 0, 256);
    GlyphTemplateBank fromGrey(grey);
    EXPECT_EQ(cv::countNonZero(fromGrey.greyImage != grey), 0);
    grey.at<uchar>(0, 0) ^= 0xFF;
    EXPECT_NE(fromGrey.greyImage.at<uchar>(0, 0), grey.at<uchar>(0, 0));  // a copy

    cv::Mat colour(4, 5, CV_8UC3, cv::Scalar(10, 200, 30));
    GlyphTemplateBank fromColour(colour);
    ASSERT_EQ(fromColour.greyImage.type(), CV_8UC1);
    // BGR weights 0.114, 0.587, 0.299.
    EXPECT_NEAR(fromColour.greyImage.at<uchar>(2, 2), 10 * 0.114 + 200 * 0.587 + 30 * 0.299, 1.0);
}

TEST(GlyphTemplateBank, NativeGlyphZeroMatchesItsDrawing) {
    const char* rows[23] = {
        "..............", "....######....", "...########...", "..####..####..", ".####....####.",
        ".###......###.", ".###......###.", ".###......###.", ".###......###.", ".###......###.",
        ".###......###.", ".###......###.", ".###......###.", ".###......###.", ".###......###.",
        ".###......###.", ".###......###.", ".###......###.", ".####....####.", "..####..####..",
        "...########...", "....######....", ".............."};
    GlyphTemplateBank bank(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(20);
    const cv::Mat& glyph = bank.nativeTemplates[0];
    ASSERT_EQ(glyph.size(), cv::Size(14, 23));
    for (int r = 0; r < 23; ++r) {
        for (int c = 0; c < 14; ++c) {
            EXPECT_EQ(glyph.at<uchar>(r, c), rows[r][c] == '#' ? 255 : 0) << r << "," << c;
        }
    }
}

TEST(GlyphTemplateBank, StrokeCountsOfAllGlyphs) {
    const int strokes[13] = {138, 60, 154, 135, 115, 170, 125, 92, 150, 135, 120, 120, 100};
    GlyphTemplateBank bank(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(20);
    for (int g = 0; g < 13; ++g) {
        const cv::Mat& glyph = bank.nativeTemplates[g];
        EXPECT_EQ(cv::countNonZero(glyph), strokes[g]) << "glyph " << g;
        EXPECT_EQ(cv::countNonZero(glyph == 255), strokes[g]) << "glyph " << g;
        // Top and bottom rows are empty in every glyph.
        EXPECT_EQ(cv::countNonZero(glyph.row(0)) + cv::countNonZero(glyph.row(22)), 0);
    }
}

TEST(GlyphTemplateBank, ScaledTemplatesKeepInterpolatedEdges) {
    GlyphTemplateBank bank(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(29);
    const cv::Mat& t = bank.scaledTemplates[8];
    const int partial = cv::countNonZero((t > 0) & (t < 255));
    EXPECT_GT(partial, 0);
}

}  // namespace
}  // namespace kalvero
