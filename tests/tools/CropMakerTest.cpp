#include <cmath>

#include <gtest/gtest.h>

#include "recognition_common/CheckDigit.h"
#include <opencv2/imgproc.hpp>

#include "tools/CarriageNumbers.h"
#include "tools/CropMaker.h"
#include "tools/ToolsTestFonts.h"

namespace kalvero {
namespace {

std::vector<std::vector<cv::Point2d>> RowOfCells(cv::Point2d start, double angleDegrees, double width,
                                                 double pitch, double height, int count) {
    const double t = angleDegrees * CV_PI / 180.0;
    const cv::Point2d along(std::cos(t), std::sin(t));
    const cv::Point2d down(-along.y, along.x);
    std::vector<std::vector<cv::Point2d>> cells;
    for (int i = 0; i < count; ++i) {
        const cv::Point2d tl = start + along * (i * pitch);
        cells.push_back({tl, tl + along * width, tl + along * width + down * height, tl + down * height});
    }
    return cells;
}

TEST(CropGeometry, LineBoxRunsFromTheFirstDigitToTheLast) {
    const auto cells = RowOfCells({100.0, 50.0}, 2.0, 10.0, 14.0, 20.0, 8);
    const LineBox box = LineBoxOfDigits(cells);
    EXPECT_NEAR(box.length, 7 * 14.0 + 10.0, 1e-3);
    EXPECT_NEAR(box.digitHeight, 20.0, 1e-3);
    EXPECT_NEAR(box.angleDegrees, 2.0, 1e-3);
    const cv::Point2d mid = 0.5 * (cells[0][0] + cells[7][2]);
    EXPECT_NEAR(box.centre.x, mid.x, 1e-3);
    EXPECT_NEAR(box.centre.y, mid.y, 1e-3);
}

TEST(CropGeometry, OnlyDigitsWhollyInsideTheCropCount) {
    const auto cells = RowOfCells({100.0, 50.0}, -1.5, 10.0, 14.0, 20.0, 8);
    LineBox box = LineBoxOfDigits(cells);
    bool ambiguous = true;
    EXPECT_EQ(DigitsInsideCrop(box, "52473063", cells, &ambiguous), "52473063");
    EXPECT_FALSE(ambiguous);

    // Shortened at the right end so that the crop ends in the middle of
    // the seventh digit: the last one drops out whole, the seventh is cut.
    LineBox shorter = box;
    const double cut = 14.0 + 5.0 + kLineMarginAlong * 20.0;
    const double t = box.angleDegrees * CV_PI / 180.0;
    shorter.length -= static_cast<float>(cut);
    shorter.centre -= cv::Point2f(static_cast<float>(0.5 * cut * std::cos(t)), static_cast<float>(0.5 * cut * std::sin(t)));
    EXPECT_EQ(DigitsInsideCrop(shorter, "52473063", cells, &ambiguous), "524730");
    EXPECT_TRUE(ambiguous) << "the seventh digit is cut through its middle";

    // Moved down by a digit height: no digit is whole.
    LineBox lower = box;
    lower.centre.y += 20.0f;
    EXPECT_EQ(DigitsInsideCrop(lower, "52473063", cells), "");
}

class CropMakerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        maker_ = new CropMaker();
        std::vector<std::string> fonts{"glyph", "stencil"};
        if (TestFontInstalled()) {
            fonts.push_back(kTestFontPath);
        }
        ASSERT_EQ(maker_->Load(fonts), "");
    }
    static void TearDownTestSuite() {
        delete maker_;
        maker_ = nullptr;
    }
    static CropMaker* maker_;
};
CropMaker* CropMakerTest::maker_ = nullptr;

TEST_F(CropMakerTest, SameSeedAndIndexGiveTheSameCrop) {
    const LineCropSample a = maker_->Make(11, 5, 0.1);
    const LineCropSample b = maker_->Make(11, 5, 0.1);
    ASSERT_EQ(a.image.size(), cv::Size(kLineInputWidth, kLineInputHeight));
    ASSERT_EQ(a.image.type(), CV_8UC1);
    EXPECT_EQ(cv::norm(a.image, b.image, cv::NORM_INF), 0.0);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.font, b.font);
    EXPECT_GT(cv::norm(a.image, maker_->Make(11, 6, 0.1).image, cv::NORM_L1), 0.0);
    EXPECT_GT(cv::norm(a.image, maker_->Make(12, 5, 0.1).image, cv::NORM_L1), 0.0);
}

TEST_F(CropMakerTest, LabelsAreThePaintedDigitsAndNumbersCarryCheckDigits) {
    int whole = 0;
    int positives = 0;
    int eights = 0;
    int valid = 0;
    int other = 0;
    for (int i = 0; i < 300; ++i) {
        const LineCropSample s = maker_->Make(3, static_cast<std::uint64_t>(i), 0.0);
        ASSERT_FALSE(s.image.empty());
        ASSERT_FALSE(s.painted.empty());
        ++positives;
        // The label is a run of the painted digits.
        EXPECT_NE(s.painted.find(s.label), std::string::npos) << s.painted << " / " << s.label;
        whole += s.label == s.painted;
        if (s.painted.size() == 8) {
            ++eights;
            valid += CheckDigitHolds(s.painted);
        } else {
            ++other;
        }
        // Digit heights on the frame stay in the trained range.
        EXPECT_GE(s.trueBox.digitHeight, 13.0f);
        EXPECT_LE(s.trueBox.digitHeight, 72.0f);
        EXPECT_LE(std::abs(s.trueBox.angleDegrees), 4.0f);
    }
    EXPECT_GT(whole, positives * 9 / 10) << "jitter rarely drops a digit";
    EXPECT_GT(valid, eights * 95 / 100);
    EXPECT_GT(other, 30) << "shorter and longer groups occur";
    EXPECT_LT(other, 100);
}

TEST_F(CropMakerTest, NegativesHoldNoWholeDigit) {
    for (int i = 0; i < 120; ++i) {
        const LineCropSample s = maker_->Make(4, static_cast<std::uint64_t>(i), 1.0);
        ASSERT_FALSE(s.image.empty()) << i;
        EXPECT_EQ(s.label, "") << "crop " << i << " painted " << s.painted;
    }
}

}  // namespace
}  // namespace kalvero
