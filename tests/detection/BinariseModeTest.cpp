#include <gtest/gtest.h>

#include <string>

#include <opencv2/core.hpp>

#include "detection/BinariseMode.h"
#include "detection/GlyphTemplateBank.h"

namespace kalvero {
namespace {

// Grey image with one 6 x 6 square of the given value on a grey field.
cv::Mat SquareOnGrey(uchar square) {
    cv::Mat grey(60, 60, CV_8UC1, cv::Scalar(128));
    grey(cv::Rect(27, 27, 6, 6)).setTo(square);
    return grey;
}

// A bank of the grey image with templates for digit height 20 (W = 12).
GlyphTemplateBank BankOf(const cv::Mat& grey) {
    GlyphTemplateBank bank(grey);
    bank.ScaleTemplates(20);
    return bank;
}

class SquarePolarity : public ::testing::TestWithParam<uchar> {};

TEST_P(SquarePolarity, LightModesFindLightSquaresAndModeThreeDarkOnes) {
    const uchar value = GetParam();
    GlyphTemplateBank bank = BankOf(SquareOnGrey(value));
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        BinariseMode(bank, mode);
    }
    const bool bright = value > 128;
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        const cv::Mat& scan = bank.scanImages[mode];
        ASSERT_EQ(scan.type(), CV_8UC1);
        ASSERT_EQ(scan.size(), bank.greyImage.size());
        const bool expectsSquare = (mode == 3) != bright;
        EXPECT_EQ(scan.at<uchar>(29, 29), expectsSquare ? 255 : 0) << "mode " << mode;
        EXPECT_EQ(scan.at<uchar>(5, 5), 0) << "mode " << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, SquarePolarity, ::testing::Values(uchar(220), uchar(30)));

TEST(BinariseMode, ThresholdOffsetsPerMode) {
    // A square 10 grey levels brighter than its field passes the offset 5 of
    // mode 0 but not the 15 of mode 1; 20 darker passes mode 3.
    GlyphTemplateBank brighter = BankOf(SquareOnGrey(138));
    BinariseMode(brighter, 0);
    BinariseMode(brighter, 1);
    EXPECT_EQ(brighter.scanImages[0].at<uchar>(29, 29), 255);
    EXPECT_EQ(brighter.scanImages[1].at<uchar>(29, 29), 0);

    GlyphTemplateBank darker = BankOf(SquareOnGrey(108));
    BinariseMode(darker, 3);
    EXPECT_EQ(darker.scanImages[3].at<uchar>(29, 29), 255);
    GlyphTemplateBank slightlyDarker = BankOf(SquareOnGrey(120));
    BinariseMode(slightlyDarker, 3);
    EXPECT_EQ(slightlyDarker.scanImages[3].at<uchar>(29, 29), 0);
}

// One pixel on a field of 128: the 15 x 15 mean around it stays 128, so the
// pixel is foreground exactly when it clears the mode's offset.
struct OffsetCase {
    int mode;
    uchar pixel;
    bool foreground;
};

class OffsetBoundary : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetBoundary, APixelIsForegroundOnlyPastTheOffset) {
    const OffsetCase c = GetParam();
    cv::Mat grey(40, 40, CV_8UC1, cv::Scalar(128));
    grey.at<uchar>(20, 20) = c.pixel;
    GlyphTemplateBank bank = BankOf(grey);
    BinariseMode(bank, c.mode);
    EXPECT_EQ(bank.scanImages[c.mode].at<uchar>(20, 20), c.foreground ? 255 : 0);
    // Nothing else of the field is foreground, except what mode 2's
    // dilation adds below the pixel.
    const int expected = !c.foreground ? 0 : c.mode == 2 ? 3 : 1;
    EXPECT_EQ(cv::countNonZero(bank.scanImages[c.mode]), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, OffsetBoundary,
    ::testing::Values(OffsetCase{0, 133, false}, OffsetCase{0, 134, true},
                      OffsetCase{1, 143, false}, OffsetCase{1, 144, true},
                      OffsetCase{2, 143, false}, OffsetCase{2, 144, true},
                      OffsetCase{3, 114, false}, OffsetCase{3, 113, true},
                      OffsetCase{3, 200, false}, OffsetCase{0, 60, false}),
    [](const ::testing::TestParamInfo<OffsetCase>& info) {
        return "mode" + std::to_string(info.param.mode) + "_pixel" +
               std::to_string(info.param.pixel);
    });

TEST(BinariseMode, UniformImageIsBackgroundInEveryMode) {
    GlyphTemplateBank bank = BankOf(cv::Mat(50, 50, CV_8UC1, cv::Scalar(90)));
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        BinariseMode(bank, mode);
        EXPECT_EQ(cv::countNonZero(bank.scanImages[mode]), 0) << "mode " << mode;
        EXPECT_TRUE(bank.exclusionBoxes[mode].empty()) << "mode " << mode;
    }
}

TEST(BinariseMode, ModeTwoThickensStrokesDownwards) {
    GlyphTemplateBank bank = BankOf(SquareOnGrey(220));
    BinariseMode(bank, 1);
    BinariseMode(bank, 2);
    const cv::Mat& thin = bank.scanImages[1];
    const cv::Mat& thick = bank.scanImages[2];
    EXPECT_EQ(cv::countNonZero(thin & ~thick), 0);
    // Two dilations with a 1 x 2 element reach two rows further down.
    EXPECT_EQ(cv::countNonZero(thin.col(29)), 6);
    EXPECT_EQ(cv::countNonZero(thick.col(29)), 8);
    EXPECT_EQ(thick.at<uchar>(34, 29), 255);
    EXPECT_EQ(thick.at<uchar>(26, 29), 0);
}

TEST(BinariseMode, RemovesRunsAtLimitsDerivedFromTheDigitHeight) {
    // h = 20, W = 12: runs longer than 36 across or 30 down are removed.
    cv::Mat grey(80, 120, CV_8UC1, cv::Scalar(50));
    grey(cv::Rect(10, 5, 1, 30)).setTo(255);   // kept
    grey(cv::Rect(40, 5, 1, 31)).setTo(255);   // removed and recorded
    grey(cv::Rect(60, 60, 36, 1)).setTo(255);  // kept
    grey(cv::Rect(60, 70, 37, 1)).setTo(255);  // removed
    GlyphTemplateBank bank = BankOf(grey);
    BinariseMode(bank, 1);
    const cv::Mat& scan = bank.scanImages[1];
    EXPECT_EQ(cv::countNonZero(scan.col(10)), 30);
    EXPECT_EQ(cv::countNonZero(scan.col(40)), 0);
    EXPECT_EQ(cv::countNonZero(scan.row(60)), 36);
    EXPECT_EQ(cv::countNonZero(scan.row(70)), 0);
    ASSERT_EQ(bank.exclusionBoxes[1].size(), 1u);
    EXPECT_EQ(bank.exclusionBoxes[1][0], cv::Rect(40, 5, 1, 30));
    EXPECT_TRUE(bank.exclusionBoxes[0].empty());
    EXPECT_TRUE(bank.scanImages[0].empty());
}

class UnknownMode : public ::testing::TestWithParam<int> {};

TEST_P(UnknownMode, IsRefusedWithoutTouchingTheBank) {
    GlyphTemplateBank bank = BankOf(SquareOnGrey(220));
    EXPECT_THROW(BinariseMode(bank, GetParam()), cv::Exception);
    for (const cv::Mat& scan : bank.scanImages) {
        EXPECT_TRUE(scan.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, UnknownMode, ::testing::Values(-1, kScanModeCount, 99));

}  // namespace
}  // namespace kalvero
